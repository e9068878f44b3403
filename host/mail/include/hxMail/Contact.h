#pragma once
#include "hxMail/Message.h"

namespace hxMail {

class Address : public Lattice::SchemaBase {
    LATTICE_CLASS(Address, "Address", Lattice::SchemaBase)
#define HX_ADDRESS_PROPERTIES(P)                                                                             \
    P(Lattice::String, street)                                                                               \
    P(Lattice::String, city)                                                                                 \
    P(Lattice::String, state)                                                                                \
    P(Lattice::String, postalCode)                                                                           \
    P(Lattice::String, country)                                                                              \
    P(Lattice::String, fullAddress)
    LATTICE_PROPERTIES(Lattice::SchemaBase, HX_ADDRESS_PROPERTIES)
#undef HX_ADDRESS_PROPERTIES
};

// The opened form of a contact. The other address exists from construction so that member paths
// such as "otherAddress.city" resolve on a fresh detail.
class ContactDetail : public Item {
    LATTICE_CLASS(ContactDetail, "ContactDetail", Item)
#define HX_CONTACTDETAIL_PROPERTIES(P)                                                                       \
    P(Lattice::String, title)                                                                                \
    P(Lattice::String, first)                                                                                \
    P(Lattice::String, middle)                                                                               \
    P(Lattice::String, last)                                                                                 \
    P(Lattice::String, suffix)                                                                               \
    P(Lattice::String, displayName)                                                                          \
    P(Lattice::String, body)                                                                                 \
    P(Lattice::Ptr<Address>, otherAddress)                                                                   \
    P(long, selectedMailingAddress)                                                                          \
    P(Lattice::String, jobTitle)                                                                             \
    P(Lattice::String, company)                                                                              \
    P(Lattice::String, pager)                                                                                \
    P(Lattice::String, spouse)                                                                               \
    P(Lattice::String, manager)                                                                              \
    P(Lattice::String, assistant)                                                                            \
    P(Lattice::String, webPage)                                                                              \
    P(Lattice::String, isdn)                                                                                 \
    P(Lattice::String, radio)                                                                                \
    P(Lattice::String, primaryPhone)                                                                         \
    P(Lattice::String, otherFax)                                                                             \
    P(Lattice::String, home2Phone)                                                                           \
    P(Lattice::String, telex)                                                                                \
    P(Lattice::String, ttyttd)                                                                               \
    P(Lattice::String, department)                                                                           \
    P(Lattice::String, office)                                                                               \
    P(Lattice::String, profession)                                                                           \
    P(Lattice::String, nickname)                                                                             \
    P(Lattice::String, assistantPhone)                                                                       \
    P(Lattice::String, business2Phone)                                                                       \
    P(Lattice::String, callback)                                                                             \
    P(Lattice::String, email1Display)                                                                        \
    P(Lattice::String, email2Display)                                                                        \
    P(Lattice::String, email3Display)                                                                        \
    P(Lattice::String, IMAddress)
    LATTICE_PROPERTIES(Item, HX_CONTACTDETAIL_PROPERTIES)
#undef HX_CONTACTDETAIL_PROPERTIES
public:
    // Values of selectedMailingAddress; 0 means none chosen.
    static constexpr long MailingAddressHome = 1;
    static constexpr long MailingAddressBusiness = 2;
    static constexpr long MailingAddressOther = 3;

    ContactDetail() {
        m_otherAddress = new Address();
    }
};

// A contact as listed. Home and business addresses exist from construction; the detail is
// attached by whoever loads it.
class Contact : public MessageItem {
    LATTICE_CLASS(Contact, "Contact", MessageItem)
#define HX_CONTACT_PROPERTIES(P)                                                                             \
    P(Lattice::String, fileAsName)                                                                           \
    P(Lattice::Ptr<Address>, homeAddress)                                                                    \
    P(Lattice::Ptr<Address>, businessAddress)                                                                \
    P(Lattice::Ptr<ContactDetail>, contactDetail)                                                            \
    P(Lattice::String, eMail1)                                                                               \
    P(Lattice::String, eMail2)                                                                               \
    P(Lattice::String, eMail3)                                                                               \
    P(Lattice::String, businessPhone)                                                                        \
    P(Lattice::String, homePhone)                                                                            \
    P(Lattice::String, mobile)                                                                               \
    P(Lattice::String, businessFax)                                                                          \
    P(Lattice::String, homeFax)                                                                              \
    P(Lattice::String, carPhone)                                                                             \
    P(Lattice::String, companyPhone)                                                                         \
    P(Lattice::String, otherPhone)
    LATTICE_PROPERTIES(MessageItem, HX_CONTACT_PROPERTIES)
#undef HX_CONTACT_PROPERTIES
public:
    Contact() {
        m_homeAddress = new Address();
        m_businessAddress = new Address();
    }
};

// A personal distribution list; its members are Recipients. The member list exists from
// construction.
class DistributionList : public MessageItem {
    LATTICE_CLASS(DistributionList, "DistributionList", MessageItem)
#define HX_DISTRIBUTIONLIST_PROPERTIES(P)                                                                    \
    P(Lattice::String, name)                                                                                 \
    P(Lattice::String, text)                                                                                 \
    P(Lattice::Ptr<Lattice::ObjectCollection>, memberList)
    LATTICE_PROPERTIES(MessageItem, HX_DISTRIBUTIONLIST_PROPERTIES)
#undef HX_DISTRIBUTIONLIST_PROPERTIES
public:
    DistributionList() {
        m_memberList = new Lattice::ObjectCollection();
    }
};

} // namespace hxMail
