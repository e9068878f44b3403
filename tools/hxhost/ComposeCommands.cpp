// compose, edit, reply, reply-all, forward, smart, importance: writing mail the way a mail client
// does it through the message provider.
#include "Commands.h"

#include "Lattice/HTMLEncode.h"
#include "hxMail/Message.h"
#include "hxMailConversion/Conversion.h"

#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>

namespace hxhost {

namespace {

constexpr const char* kOptions =
    "[--to NAME]... [--cc NAME]... [--bcc NAME]... [--subject TEXT] [--text FILE | --html FILE] "
    "[--attach FILE]... [--importance 0|1|2] [--sensitivity N] [--read-receipt] [--delivery-receipt] "
    "[--draft]";

struct Options {
    std::vector<std::string> to, cc, bcc, attach;
    std::string subject, textFile, htmlFile;
    bool hasSubject = false;
    long importance = 1, sensitivity = 0;
    bool readReceipt = false, deliveryReceipt = false, draft = false;
};

Options parseOptions(const Args& args, std::size_t from) {
    Options o;
    for (std::size_t i = from; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size())
                throw CommandError(a + " needs a value");
            return args[++i];
        };
        if (a == "--to")
            o.to.push_back(value());
        else if (a == "--cc")
            o.cc.push_back(value());
        else if (a == "--bcc")
            o.bcc.push_back(value());
        else if (a == "--subject") {
            o.subject = value();
            o.hasSubject = true;
        } else if (a == "--text")
            o.textFile = value();
        else if (a == "--html")
            o.htmlFile = value();
        else if (a == "--attach")
            o.attach.push_back(value());
        else if (a == "--importance")
            o.importance = parseNumber(value(), "--importance", 0);
        else if (a == "--sensitivity")
            o.sensitivity = parseNumber(value(), "--sensitivity", 0);
        else if (a == "--read-receipt")
            o.readReceipt = true;
        else if (a == "--delivery-receipt")
            o.deliveryReceipt = true;
        else if (a == "--draft")
            o.draft = true;
        else
            throw CommandError("unknown option \"" + a + "\"; options: " + kOptions);
    }
    if (o.importance > 2)
        throw CommandError("--importance must be 0 (low), 1 (normal) or 2 (high)");
    if (o.sensitivity > 10)
        throw CommandError("--sensitivity must be 0 to 10");
    if (!o.textFile.empty() && !o.htmlFile.empty())
        throw CommandError("give either --text or --html");
    for (const std::string& file : o.attach)
        if (!std::filesystem::is_regular_file(file))
            throw CommandError("cannot attach \"" + file + "\": no such file");
    return o;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw CommandError("cannot read " + path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The subject the last listing showed for a message, if it showed the message.
bool listedSubject(const std::string& id, std::string* subject) {
    for (const ListedMessage& row : lastListing())
        if (row.id == id) {
            *subject = row.subject;
            return true;
        }
    return false;
}

// "Name <address>" or an address (or Notes name) alone.
Lattice::Ptr<hxMail::Recipient> recipient(const std::string& text) {
    Lattice::Ptr<hxMail::Recipient> r = new hxMail::Recipient();
    std::string name, address = text;
    const auto open = text.rfind('<');
    const auto close = text.rfind('>');
    if (open != std::string::npos && close != std::string::npos && close > open) {
        address = text.substr(open + 1, close - open - 1);
        name = text.substr(0, open);
        while (!name.empty() && (name.back() == ' ' || name.back() == '"'))
            name.pop_back();
        while (!name.empty() && (name.front() == ' ' || name.front() == '"'))
            name.erase(name.begin());
    }
    r->set_displayName(name.c_str());
    r->set_smtpAddress(address.c_str());
    r->set_emailAddress(address.c_str());
    return r;
}

// The body the user wrote, as HTML (a text file is escaped, its lines kept).
std::string bodyHtml(const Options& o) {
    if (!o.htmlFile.empty())
        return readFile(o.htmlFile);
    if (o.textFile.empty())
        return {};
    return "<p>" + Lattice::HTMLConvert::toHTML(readFile(o.textFile).c_str()).str() + "</p>";
}

void fill(hxMail::Message& message, hxMail::MessageDetail& detail, const Options& o) {
    if (o.hasSubject)
        message.set_subject(o.subject.c_str());
    message.set_importance(o.importance);
    message.set_sensitivity(o.sensitivity);
    message.set_readReceiptRequested(o.readReceipt);
    message.set_deliveryReceiptRequested(o.deliveryReceipt);
    for (const auto& name : o.to)
        detail.get_to()->add(recipient(name));
    for (const auto& name : o.cc)
        detail.get_cc()->add(recipient(name));
    for (const auto& name : o.bcc)
        detail.get_bcc()->add(recipient(name));
    for (const auto& file : o.attach) {
        Lattice::Ptr<hxMail::Attachment> a = new hxMail::Attachment();
        a->set_fileName(std::filesystem::path(file).filename().string().c_str());
        a->set_path(file.c_str());
        a->set_size(static_cast<long>(std::filesystem::file_size(file)));
        detail.get_attachments()->add(a);
    }
    if (!detail.get_body())
        detail.set_body(new hxMail::MessageBody());
    detail.set_textType("html");
}

// Saves (--draft) or sends; the answer names what happened.
void store(Call& c, const Lattice::Ptr<hxMail::Message>& message,
           const Lattice::Ptr<hxMail::MessageDetail>& detail, bool draft) {
    if (draft) {
        Lattice::String id;
        Lattice::Ptr<hxMail::Attachments> attachments;
        const long status = c.messages().saveMessage(message, detail, id, attachments);
        c.status(status);
        c.out("saved", true);
        c.out("id", id.isEmpty() ? message->get_id() : id);
        return;
    }
    const long status = c.messages().sendMessage(message, detail, "");
    c.status(status);
    c.out("sent", status == 0);
    if (status == 1)
        throw CommandError("the message names nobody to deliver to: stored, nothing sent");
}

// A typed name that is a distribution list of the personal address book becomes that list's
// recipient, as the host's address lookup finds it, so that the plug-in expands the list.
void addressPersonalLists(Call& c, hxMail::Recipients& recipients) {
    std::vector<Lattice::Ptr<hxMail::Recipient>> resolved;
    for (long i = 0; i < recipients.count(); ++i) {
        Lattice::Ptr<hxMail::Recipient> r = recipients.at(i);
        const std::string typed = r->get_smtpAddress().str();
        if (r->get_displayName().isEmpty() && typed.find('@') == std::string::npos) {
            Lattice::ObjectCollection found;
            c.contacts().getFilteredRecipients(typed.c_str(), &found);
            for (const Lattice::Data& d : found)
                if (auto* f = d.toObject<hxMail::Recipient>();
                    f && f->get_displayType() == 2 && f->get_displayName() == typed.c_str())
                    r = f;
        }
        resolved.push_back(r);
    }
    recipients.clear();
    for (const auto& r : resolved)
        recipients.add(r);
}

void compose(CommandContext& context, const Args& args, Json& out) {
    Call c(context, args, out);
    const Options o = parseOptions(args, 0);
    Lattice::Ptr<hxMail::Message> message = new hxMail::Message();
    Lattice::Ptr<hxMail::MessageDetail> detail = new hxMail::MessageDetail();
    fill(*message, *detail, o);
    for (hxMail::Recipients* list : {detail->get_to().get(), detail->get_cc().get(), detail->get_bcc().get()})
        addressPersonalLists(c, *list);
    detail->get_body()->set_text(bodyHtml(o).c_str());
    store(c, message, detail, o.draft);
}

// A saved draft, changed by the options and saved or sent again.
void edit(CommandContext& context, const Args& args, Json& out) {
    Call c(context, args, out);
    const Lattice::String id = c.message(0);
    const Options o = parseOptions(args, 1);
    Lattice::Ptr<hxMail::MessageDetail> detail = new hxMail::MessageDetail();
    c.messages().getMessageDetail(id, "html", detail);
    std::string subject;
    const bool listed = listedSubject(id.str(), &subject);
    if (!listed && detail->get_to()->count() == 0 && !detail->get_from() && detail->get_textType().isEmpty())
        throw CommandError("no draft with id \"" + id.str() + "\" in the mail file");
    if (!listed && !o.hasSubject)
        throw CommandError("give --subject: the draft's subject is known only from the last ls");
    Lattice::Ptr<hxMail::Message> message = new hxMail::Message();
    message->set_id(id);
    message->set_subject(subject.c_str());
    if (!o.to.empty())
        detail->get_to()->clear();
    if (!o.cc.empty())
        detail->get_cc()->clear();
    if (!o.bcc.empty())
        detail->get_bcc()->clear();
    fill(*message, *detail, o);
    if (const std::string body = bodyHtml(o); !body.empty())
        detail->get_body()->set_text(body.c_str());
    store(c, message, detail, o.draft);
}

// reply, reply-all and forward: a new message tied to the one answered, with its header block
// quoted above the original body and the user's text first.
void answer(CommandContext& context, const Args& args, Json& out, hxMail::_MessageType type) {
    Call c(context, args, out);
    const Lattice::String id = c.message(0);
    const Options o = parseOptions(args, 1);
    Lattice::Ptr<hxMail::MessageDetail> detail = new hxMail::MessageDetail();
    c.messages().getMessageDetail(id, "html", detail);
    if (!detail->get_from() && detail->get_to()->count() == 0)
        throw CommandError("no message with id \"" + id.str() + "\" in the mail file");
    std::string listed;
    listedSubject(id.str(), &listed);
    const Lattice::String subject = listed.c_str();
    Lattice::Ptr<hxMail::Message> message = new hxMail::Message();
    const char* prefix = type == hxMail::MessageTypeForward    ? "forward_"
                         : type == hxMail::MessageTypeReplyAll ? "replyAll_"
                                                               : "reply_";
    const char* when = "";
    if (type == hxMail::MessageTypeForward) {
        // The files go along; the plug-in takes their bytes from the stored memo.
        detail->get_to()->clear();
        detail->get_cc()->clear();
        detail->get_bcc()->clear();
        const Lattice::String html = detail->get_body() ? detail->get_body()->get_text() : Lattice::String();
        detail->get_body()->set_text(
            ("<br><br><div>-----Forwarded Message-----</div><br>" + html.str()).c_str());
        message->set_subject(("Fw: " + subject.str()).c_str());
    } else {
        hxMailConversion::convertToReply(detail, when, subject, type == hxMail::MessageTypeReplyAll);
        message->set_subject(hxMailConversion::replySubject(subject));
    }
    message->set_id((prefix + id.str()).c_str());
    fill(*message, *detail, o);
    const std::string mine = bodyHtml(o);
    detail->get_body()->set_text((mine + detail->get_body()->get_text().str()).c_str());
    store(c, message, detail, o.draft);
}

void renderStored(const Json& r, std::ostream& out) {
    if (r.value("saved", false))
        out << "draft saved: " << r.value("id", "") << "\n";
    else if (r.value("sent", false))
        out << "sent\n";
    else
        out << "status " << r.value("status", 0L) << "\n";
}

} // namespace

void registerComposeCommands(CommandRegistry& registry) {
    const std::string options = kOptions;
    registry.add({"compose", options,
                  "Writes a new message and sends it (or with --draft saves it in Drafts). NAME is a Notes "
                  "name, a group or an address, \"Display <address>\" allowed; the body comes from a text or "
                  "HTML file.",
                  0, 64, compose, renderStored, "message provider"});
    registry.add(
        {"edit", "ID " + options,
         "Changes a saved draft (ID or #N): given recipient kinds replace the old ones, a given body "
         "replaces the old one, files are added; sends it unless --draft.",
         1, 64, edit, renderStored, "message provider"});
    registry.add(
        {"reply", "ID " + options, "Replies to the sender of a message; sends unless --draft.", 1, 64,
         [](CommandContext& ctx, const Args& a, Json& out) { answer(ctx, a, out, hxMail::MessageTypeReply); },
         renderStored, "message provider"});
    registry.add({"reply-all", "ID " + options,
                  "Replies to the sender and every recipient of a message; sends unless --draft.", 1, 64,
                  [](CommandContext& ctx, const Args& a, Json& out) {
                      answer(ctx, a, out, hxMail::MessageTypeReplyAll);
                  },
                  renderStored, "message provider"});
    registry.add({"forward", "ID " + options,
                  "Forwards a message with its attachments to the --to recipients; sends unless --draft.", 1,
                  64,
                  [](CommandContext& ctx, const Args& a, Json& out) {
                      answer(ctx, a, out, hxMail::MessageTypeForward);
                  },
                  renderStored, "message provider"});
    registry.add({"smart", "ID [NAME VALUE]",
                  "Shows the value kept on a message, or keeps NAME and VALUE on it.", 1, 3,
                  [](CommandContext& ctx, const Args& a, Json& out) {
                      Call c(ctx, a, out);
                      if (a.size() == 2)
                          throw CommandError("usage: smart ID [NAME VALUE]");
                      if (a.size() == 3) {
                          c.status(c.messages().setSmartValue(c.message(0), c.text(1), c.text(2)));
                          return;
                      }
                      Lattice::String value;
                      c.status(c.messages().getSmartValue(c.message(0), value));
                      c.out("smartValue", value);
                  },
                  nullptr, "message provider"});
    registry.add({"importance", "ID N", "Sets a message's importance: 0 low, 1 normal, 2 high.", 2, 2,
                  [](CommandContext& ctx, const Args& a, Json& out) {
                      Call c(ctx, a, out);
                      const long level = c.number(1, "N");
                      if (level < 0 || level > 2)
                          throw CommandError("N must be 0 (low), 1 (normal) or 2 (high)");
                      bool changed = false;
                      c.status(c.messages().setImportance(c.message(0), level, changed));
                      c.out("changed", changed);
                  },
                  nullptr, "message provider"});
}

} // namespace hxhost
