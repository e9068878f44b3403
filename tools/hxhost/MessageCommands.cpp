// open, attachments, save-attachment: a message opened through the message provider, as the host
// shows it, and the bytes of its attachments.
#include "Commands.h"
#include "Table.h"

#include "Lattice/HTMLEncode.h"
#include "Lattice/Util.h"
#include "hxMail/Message.h"

#include <charconv>
#include <fstream>
#include <ostream>
#include <sstream>

namespace hxhost {

namespace {

using Provider = hxMail::MailProvider;

hxMail::MessageProvider& messageProvider(Provider& provider) {
    hxMail::MessageProvider* messages = provider.messageProvider();
    if (!messages)
        throw CommandError("the provider has no message provider");
    return *messages;
}

std::string subjectOf(const std::string& id) {
    for (const ListedMessage& row : lastListing())
        if (row.id == id)
            return row.subject;
    return {};
}

std::string recipientText(const hxMail::Recipient& r) {
    std::string name = r.get_displayName().str();
    std::string address =
        r.get_smtpAddress().isEmpty() ? r.get_emailAddress().str() : r.get_smtpAddress().str();
    if (name.empty() || name == address)
        return address;
    return address.empty() ? name : name + " <" + address + ">";
}

Json recipientList(const Lattice::Ptr<hxMail::Recipients>& list) {
    Json out = Json::array();
    for (long i = 0; list && i < list->count(); ++i)
        if (const hxMail::Recipient* r = list->at(i))
            out.push_back(recipientText(*r));
    return out;
}

// The message's detail as the host gets it; CommandError when the id finds no memo.
Lattice::Ptr<hxMail::MessageDetail> openDetail(Provider& provider, const std::string& id) {
    Lattice::Ptr<hxMail::MessageDetail> detail = new hxMail::MessageDetail();
    messageProvider(provider).getMessageDetail(id.c_str(), "html", detail);
    const bool empty = !detail->get_from() && detail->get_to()->count() == 0 &&
                       detail->get_textType().isEmpty() && detail->get_attachments()->count() == 0;
    if (empty)
        throw CommandError("no message with id \"" + id + "\" in the mail file");
    return detail;
}

Json attachmentList(const hxMail::MessageDetail& detail) {
    Json list = Json::array();
    const Lattice::Ptr<hxMail::Attachments>& attachments = detail.get_attachments();
    for (long i = 0; attachments && i < attachments->count(); ++i)
        if (const hxMail::Attachment* a = attachments->at(i))
            list.push_back({{"number", a->get_attachNum()},
                            {"name", a->get_fileName().str()},
                            {"size", a->get_size()},
                            {"mimeType", a->get_mimeType().str()},
                            {"id", a->get_id().str()},
                            {"contentId", a->get_contentId().str()}});
    return list;
}

void open(CommandContext& context, const Args& args, Json& out) {
    auto& provider = loggedInProvider(context);
    std::string htmlFile;
    if (args.size() == 3) {
        if (args[1] != "--html")
            throw CommandError("expected \"--html FILE\" after the id, not \"" + args[1] + "\"");
        htmlFile = args[2];
    } else if (args.size() != 1) {
        throw CommandError("usage: open ID [--html FILE]");
    }
    const std::string id = resolveMessageId(args[0]);
    Lattice::Ptr<hxMail::MessageDetail> detail = openDetail(provider, id);
    const Lattice::String html = detail->get_body() ? detail->get_body()->get_text() : Lattice::String();
    if (!htmlFile.empty()) {
        std::ofstream file(htmlFile, std::ios::binary | std::ios::trunc);
        if (!file || !file.write(html.data(), html.length()))
            throw CommandError("cannot write " + htmlFile);
        out["htmlFile"] = htmlFile;
    }
    out["id"] = id;
    out["subject"] = subjectOf(id);
    const Lattice::Ptr<hxMail::Recipient>& from = detail->get_from();
    out["from"] = from ? recipientText(*from) : "";
    out["to"] = recipientList(detail->get_to());
    out["cc"] = recipientList(detail->get_cc());
    out["bcc"] = recipientList(detail->get_bcc());
    out["textType"] = detail->get_textType().str();
    out["htmlBytes"] = html.length();
    out["text"] = Lattice::HTMLConvert::toText(html).trimmed().str();
    out["attachments"] = attachmentList(*detail);
}

void renderOpen(const Json& r, std::ostream& out) {
    auto joined = [](const Json& list) {
        std::string text;
        for (const Json& name : list)
            text += (text.empty() ? "" : "; ") + name.get<std::string>();
        return text;
    };
    if (!r.value("subject", "").empty())
        out << "Subject: " << r.value("subject", "") << "\n";
    out << "From:    " << r.value("from", "") << "\n";
    out << "To:      " << joined(r["to"]) << "\n";
    if (!r["cc"].empty())
        out << "Cc:      " << joined(r["cc"]) << "\n";
    if (!r["bcc"].empty())
        out << "Bcc:     " << joined(r["bcc"]) << "\n";
    out << "\n";
    std::istringstream text(r.value("text", ""));
    for (std::string line; std::getline(text, line);)
        out << "  " << line << "\n";
    out << "\n";
    const Json& attachments = r["attachments"];
    if (!attachments.empty()) {
        out << attachments.size() << " attachment(s):";
        for (const Json& a : attachments)
            out << " " << a.value("name", "") << " (" << a.value("size", 0L) << " bytes)";
        out << "\n";
    }
    if (r.contains("htmlFile"))
        out << "HTML body (" << r.value("htmlBytes", 0L) << " bytes) saved to " << r.value("htmlFile", "")
            << "\n";
}

void attachments(CommandContext& context, const Args& args, Json& out) {
    auto& provider = loggedInProvider(context);
    const std::string id = resolveMessageId(args[0]);
    Lattice::Ptr<hxMail::MessageDetail> detail = openDetail(provider, id);
    out["id"] = id;
    out["attachments"] = attachmentList(*detail);
}

void renderAttachments(const Json& r, std::ostream& out) {
    if (r["attachments"].empty()) {
        out << "  (no attachments)\n";
        return;
    }
    Table table({"Number", "Name", "Size", "Type", "Id"});
    for (const Json& a : r["attachments"])
        table.add({std::to_string(a.value("number", 0L)), a.value("name", ""),
                   std::to_string(a.value("size", 0L)), a.value("mimeType", ""), a.value("id", "")});
    table.print(out);
}

void saveAttachment(CommandContext& context, const Args& args, Json& out) {
    auto& provider = loggedInProvider(context);
    const std::string id = resolveMessageId(args[0]);
    long number = -1;
    const auto [end, ec] = std::from_chars(args[1].data(), args[1].data() + args[1].size(), number);
    if (ec != std::errc() || end != args[1].data() + args[1].size() || number < 0)
        throw CommandError("NUM must be an attachment number (0 or more), not \"" + args[1] + "\"");
    Lattice::Ptr<Lattice::BaseObject64> data;
    if (messageProvider(provider).loadAttachmentData(id.c_str(), number, data) != 0 || !data)
        throw CommandError("message \"" + id + "\" has no attachment " + args[1] +
                           (number >= 100 ? " (picture numbers exist once the message was opened)" : ""));
    std::ofstream file(args[2], std::ios::binary | std::ios::trunc);
    if (!file || !file.write(data->binaryData(), data->length()))
        throw CommandError("cannot write " + args[2]);
    out["id"] = id;
    out["number"] = number;
    out["file"] = args[2];
    out["bytes"] = data->length();
}

void renderSaveAttachment(const Json& r, std::ostream& out) {
    out << "attachment " << r.value("number", 0L) << " saved to " << r.value("file", "") << " ("
        << r.value("bytes", 0L) << " bytes)\n";
}

} // namespace

void registerMessageCommands(CommandRegistry& registry) {
    registry.add(
        {"open", "ID [--html FILE]",
         "Opens a message (ID, or #N for row N of the last ls): sender, recipients, body as text and "
         "attachments; --html saves the body's HTML to FILE.",
         1, 3, open, renderOpen, "message provider"});
    registry.add({"attachments", "ID",
                  "A message's attachments and embedded pictures: number, name, size, MIME type and id.", 1,
                  1, attachments, renderAttachments, "message provider"});
    registry.add({"save-attachment", "ID NUM FILE",
                  "Writes the bytes of attachment NUM of a message (pictures: 100 and up) to FILE.", 3, 3,
                  saveAttachment, renderSaveAttachment, "message provider"});

    using MessagePtr = Lattice::Ptr<hxMail::Message>;
    using DetailPtr = Lattice::Ptr<hxMail::MessageDetail>;
    addOperations(
        registry, "message provider",
        {
            {"newMessage", "FOLDER", "A new, unsaved message.",
             [](Call& c) {
                 MessagePtr message;
                 c.status(c.messages().newMessage(c.folder(0), message));
                 c.out("message", message);
             }},
            {"getMessageDetail", "ID [TEXT-TYPE]", "A message's detail (TEXT-TYPE html unless given).",
             [](Call& c) {
                 DetailPtr detail(new hxMail::MessageDetail());
                 c.status(c.messages().getMessageDetail(c.message(0), c.text(1, "html"), detail));
                 c.out("detail", detail);
             }},
            {"sendMessage", "[FIELD=VALUE...]",
             "Sends a message made of the fields (subject=..., detail.body.text=..., id=reply_ID, ...).",
             [](Call& c) {
                 c.status(c.messages().sendMessage(c.item<hxMail::Message>(0),
                                                   c.detail<hxMail::MessageDetail>(0), ""));
             }},
            {"sendMessageById", "ID", "Sends a stored message by its id (the host's sendMessage(id)).",
             [](Call& c) { c.status(c.messages().sendMessage(c.message(0))); }},
            {"newAttachment", "ID", "A new attachment for a message.",
             [](Call& c) {
                 Lattice::Ptr<hxMail::Attachment> attachment;
                 c.status(c.messages().newAttachment(c.message(0), attachment));
                 c.out("attachment", attachment);
             }},
            {"addRecipient", "ID TYPE [FIELD=VALUE...]",
             "Adds a recipient (fields of a Recipient) to a message.",
             [](Call& c) {
                 c.status(c.messages().addRecipient(c.message(0), c.item<hxMail::Recipient>(2),
                                                    c.number(1, "TYPE")));
             }},
            {"removeRecipient", "ID TYPE [FIELD=VALUE...]", "Removes a recipient from a message.",
             [](Call& c) {
                 c.status(c.messages().removeRecipient(c.message(0), c.item<hxMail::Recipient>(2),
                                                       c.number(1, "TYPE")));
             }},
            {"saveMessage", "[FIELD=VALUE...]", "Saves a draft made of the fields; answers its id when new.",
             [](Call& c) {
                 Lattice::String id;
                 Lattice::Ptr<hxMail::Attachments> attachments;
                 c.status(c.messages().saveMessage(c.item<hxMail::Message>(0),
                                                   c.detail<hxMail::MessageDetail>(0), id, attachments));
                 c.out("id", id);
                 c.out("attachments", attachments);
             }},
            {"deleteMessage", "ID", "Deletes a message.",
             [](Call& c) {
                 bool deleted = false;
                 c.status(c.messages().deleteMessage(c.message(0), deleted));
                 c.out("deleted", deleted);
             }},
            {"replyMessage", "ID [ALL]", "A reply (to all with ALL true) to a message.",
             [](Call& c) {
                 MessagePtr message;
                 DetailPtr detail;
                 c.status(c.messages().replyMessage(c.message(0), c.flag(1), message, detail));
                 c.out("message", message);
                 c.out("detail", detail);
             }},
            {"forwardMessage", "ID", "A forward of a message.",
             [](Call& c) {
                 MessagePtr message;
                 DetailPtr detail;
                 c.status(c.messages().forwardMessage(c.message(0), message, detail));
                 c.out("message", message);
                 c.out("detail", detail);
             }},
            {"loadAttachmentData", "ID NUM",
             "The bytes of an attachment (pictures: 100 and up); shows their size.",
             [](Call& c) {
                 Lattice::Ptr<Lattice::BaseObject64> data;
                 c.status(c.messages().loadAttachmentData(c.message(0), c.number(1, "NUM"), data));
                 c.out("data", data);
             }},
            {"getMessageText", "ID", "A message's text.",
             [](Call& c) {
                 Lattice::String text;
                 c.status(c.messages().getMessageText(c.message(0), text));
                 c.out("text", text);
             }},
            {"loadAttachmentObject", "ID NUM", "An attached item (a message inside a message).",
             [](Call& c) {
                 Lattice::Ptr<hxMail::MessageItem> item;
                 c.status(c.messages().loadAttachmentObject(c.message(0), c.number(1, "NUM"), item));
                 c.out("item", item);
             }},
            {"clearFlag", "ID", "Clears a message's follow-up flag.",
             [](Call& c) {
                 bool changed = false;
                 c.status(c.messages().clearFlag(c.message(0), changed));
                 c.out("changed", changed);
             }},
            {"setFlag", "ID STATUS [FIELD=VALUE...]", "Sets a follow-up flag (fields of a ReminderFlag).",
             [](Call& c) {
                 bool changed = false;
                 c.status(c.messages().setFlag(c.message(0), c.item<hxMail::ReminderFlag>(2),
                                               c.number(1, "STATUS"), changed));
                 c.out("changed", changed);
             }},
            {"getHTMLBody", "ID", "A message's body as HTML.",
             [](Call& c) {
                 Lattice::String html;
                 c.status(c.messages().getHTMLBody(c.message(0), html));
                 c.out("html", html);
             }},
            {"setImportance", "ID IMPORTANCE", "Sets a message's importance (0 low, 1 normal, 2 high).",
             [](Call& c) {
                 bool changed = false;
                 c.status(c.messages().setImportance(c.message(0), c.number(1, "IMPORTANCE"), changed));
                 c.out("changed", changed);
             }},
            {"setSmartValue", "ID NAME VALUE", "Keeps a named value on a message.",
             [](Call& c) { c.status(c.messages().setSmartValue(c.message(0), c.text(1), c.text(2))); }},
            {"getSmartValue", "ID", "The value kept on a message.",
             [](Call& c) {
                 Lattice::String value;
                 c.status(c.messages().getSmartValue(c.message(0), value));
                 c.out("smartValue", value);
             }},
            {"markMessageAsRead", "ID [READ]", "Marks a message read (or unread with READ false).",
             [](Call& c) { c.status(c.messages().markMessageAsRead(c.message(0), c.flag(1, true))); }},
        });
}

} // namespace hxhost
