// open, attachments, save-attachment: a message opened through the message provider, as the host
// shows it, and the bytes of its attachments.
#include "Commands.h"
#include "Table.h"

#include "provider/MailProvider.h"

#include "Lattice/HTMLEncode.h"
#include "Lattice/Util.h"
#include "hxMail/Message.h"

#include <charconv>
#include <fstream>
#include <ostream>
#include <sstream>

namespace hxhost {

namespace {

using Provider = hxMail::hxNotesProvider::MailProvider;

Provider& loggedInProvider(CommandContext& context) {
    auto& provider = static_cast<Provider&>(requireProvider(context));
    if (!provider.isAuthenticated())
        throw CommandError("not logged in (use \"login USER PASSWORD\" first)");
    return provider;
}

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
         1, 3, open, renderOpen});
    registry.add({"attachments", "ID",
                  "A message's attachments and embedded pictures: number, name, size, MIME type and id.", 1,
                  1, attachments, renderAttachments});
    registry.add({"save-attachment", "ID NUM FILE",
                  "Writes the bytes of attachment NUM of a message (pictures: 100 and up) to FILE.", 3, 3,
                  saveAttachment, renderSaveAttachment});
}

} // namespace hxhost
