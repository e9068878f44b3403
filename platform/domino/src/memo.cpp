#include "memo.h"

#include "text.h"

#include <vector>

namespace domino {

namespace {

std::vector<std::string> texts(const notes::Note& note, const char* name) {
    std::vector<std::string> values;
    const notes::Item* item = note.find(name);
    if (item != nullptr) {
        notes::ods::decodeText(item->type, item->value, &values);
    }
    return values;
}

// Names show abbreviated ("Jane Doe/Acme"), as the web task shows them.
std::string nameList(const notes::Note& note, const char* name) {
    std::string out;
    for (const std::string& v : texts(note, name)) {
        if (!out.empty()) {
            out += ", ";
        }
        out += notes::abbreviateName(v);
    }
    return out;
}

std::string dateOf(const notes::Note& note) {
    for (const char* name : {"PostedDate", "DeliveredDate"}) {
        const notes::Item* item = note.find(name);
        std::vector<TIMEDATE> values;
        std::vector<TIMEDATE_PAIR> ranges;
        if (item != nullptr && notes::ods::decodeTimes(item->type, item->value, &values, &ranges) &&
            !values.empty()) {
            return notes::formatDatetime(notes::fieldsFromTimedate(values.front()));
        }
    }
    return notes::formatDatetime(notes::fieldsFromTimedate(notes::timedateFromTicks(note.info.created)));
}

std::string paragraph(const std::string& latin1) {
    return latin1.empty() ? "<p><br></p>\n" : "<p>" + htmlEscape(latin1ToUtf8(latin1)) + "</p>\n";
}

} // namespace

std::string renderPlainText(const std::string& text) {
    std::string out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t nl = text.find('\n', start);
        std::string line = text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        out += paragraph(line);
        if (nl == std::string::npos) {
            return out;
        }
        start = nl + 1;
    }
}

std::string documentUrl(const PageContext& ctx) {
    std::string url;
    std::size_t start = 0;
    const std::string& db = ctx.databaseUrl;
    while (start < db.size()) {
        std::size_t end = db.find('/', start);
        if (end == std::string::npos) {
            end = db.size();
        }
        if (end > start) {
            url += "/" + percentEncode(std::string_view(db).substr(start, end - start));
        }
        start = end + 1;
    }
    return url + "/($All)/" + ctx.unid;
}

std::string renderBody(const notes::Note& note, const PageContext& ctx) {
    if (note.find("$NoteHasNativeMIME") != nullptr) {
        return renderMimeBody(note, ctx);
    }
    const notes::Item* body = note.find("Body");
    if (body == nullptr) {
        return "";
    }
    if (body->type == TYPE_COMPOSITE) {
        return renderRichText(body->value, ctx);
    }
    std::vector<std::string> lines;
    if (notes::ods::decodeText(body->type, body->value, &lines)) {
        std::string joined;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            joined += (i > 0 ? "\n" : "") + lines[i];
        }
        return renderPlainText(joined);
    }
    return "";
}

std::string renderMemo(const notes::Note& note, const PageContext& ctx) {
    auto subjects = texts(note, "Subject");
    const std::string subject = htmlEscape(latin1ToUtf8(subjects.empty() ? "" : subjects.front()));
    auto forms = texts(note, "Form");
    const std::string form = forms.empty() ? "Memo" : forms.front();

    std::string page;
    page += "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n<html>\n<head>\n";
    page += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">\n";
    page += "<title>" + subject + "</title>\n</head>\n<body text=\"#000000\" bgcolor=\"#FFFFFF\">\n";
    page += "<form method=\"post\" action=\"" + htmlEscape(latin1ToUtf8(ctx.databaseUrl)) + "/" +
            htmlEscape(latin1ToUtf8(ctx.view)) + "/" + ctx.unid + "?EditDocument\" name=\"_" +
            htmlEscape(latin1ToUtf8(form)) + "\">\n";
    page += "<table border=\"0\" cellspacing=\"0\" cellpadding=\"0\">\n";
    const std::pair<const char*, std::string> rows[] = {
        {"From", nameList(note, "From")},
        {"To", nameList(note, "SendTo")},
        {"Cc", nameList(note, "CopyTo")},
        {"Date", dateOf(note)},
        {"Subject", subjects.empty() ? "" : subjects.front()},
    };
    for (const auto& [label, value] : rows) {
        page += "<tr valign=\"top\"><td><b>";
        page += label;
        page += ":</b></td><td>" + htmlEscape(latin1ToUtf8(value)) + "</td></tr>\n";
    }
    page += "</table>\n";
    page += renderBody(note, ctx);
    page += "<input name=\"Form\" type=\"hidden\" value=\"" + htmlEscape(latin1ToUtf8(form)) + "\">\n";
    page += "</form></body></html>\n";
    return page;
}

} // namespace domino
