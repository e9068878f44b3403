// gumbo for the Windows build: the tree types its callers walk, and no parse ever succeeds.
#pragma once

#include "hxstub.h"

#include <cstddef>

typedef struct {
    void** data;
    unsigned int length;
    unsigned int capacity;
} GumboVector;
typedef enum { GUMBO_NAMESPACE_HTML, GUMBO_NAMESPACE_SVG, GUMBO_NAMESPACE_MATHML } GumboNamespaceEnum;
typedef enum {
    GUMBO_NODE_DOCUMENT,
    GUMBO_NODE_ELEMENT,
    GUMBO_NODE_TEXT,
    GUMBO_NODE_CDATA,
    GUMBO_NODE_COMMENT,
    GUMBO_NODE_WHITESPACE,
    GUMBO_NODE_TEMPLATE
} GumboNodeType;
typedef enum { GUMBO_TAG_HTML, GUMBO_TAG_HEAD, GUMBO_TAG_BODY, GUMBO_TAG_UNKNOWN } GumboTag;
typedef struct {
    GumboNamespaceEnum attr_namespace;
    const char* name;
    const char* original_name;
    const char* value;
} GumboAttribute;
typedef struct {
    const char* text;
} GumboText;
typedef struct {
    const char* data;
    size_t length;
} GumboStringPiece;
typedef struct {
    GumboVector children;
    GumboTag tag;
    GumboNamespaceEnum tag_namespace;
    GumboVector attributes;
    GumboStringPiece original_tag;
    GumboStringPiece original_end_tag;
} GumboElement;
typedef struct GumboInternalNode {
    GumboNodeType type;
    struct GumboInternalNode* parent;
    union {
        GumboElement element;
        GumboText text;
    } v;
} GumboNode;
typedef struct {
    int tab_stop;
    bool stop_on_first_error;
    int max_errors;
    int max_tree_depth;
} GumboOptions;
typedef struct {
    GumboNode* document;
    GumboNode* root;
} GumboOutput;
inline const GumboOptions kGumboDefaultOptions = {8, false, -1, 400};

inline GumboOutput* gumbo_parse_with_options(const GumboOptions*, const char*, size_t) {
    return nullptr;
}
HXSTUB_EMPTY(gumbo_destroy_output)
inline const char* gumbo_normalized_tagname(GumboTag) {
    return "";
}
