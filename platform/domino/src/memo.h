// A mail document as the web task renders the memo form: the header table, "</table>", the body,
// then the hidden form fields starting with "Form". Mail readers cut the body out between those
// two markers, so nothing before the body may contain them.
#pragma once

#include "store.h"

#include <string>

namespace domino {

struct PageContext {
    std::string databaseUrl; // "/mail/jdoe.nsf": where the page's own links point
    std::string view;        // as requested
    std::string unid;        // 32 hex digits
};

std::string renderMemo(const notes::Note& note, const PageContext& ctx);
// "/mail/jdoe.nsf/($All)/<UNID>", escaped for a URL: where the routes below a document start.
std::string documentUrl(const PageContext& ctx);
// A MIME HTML part's own charset declarations name UTF-8 once it has been converted.
std::string rewriteMetaCharset(std::string html);

// The body alone, by the kind of its "Body" item. Each kind is one function so that styled
// runs, graphics (src="/mail/..." references) and native MIME parts (a <pre> block or a link to
// the HTML part) each have their own place to grow.
std::string renderBody(const notes::Note& note, const PageContext& ctx);
std::string renderRichText(const std::string& value, const PageContext& ctx);
std::string renderPlainText(const std::string& text);
std::string renderMimeBody(const notes::Note& note, const PageContext& ctx);

} // namespace domino
