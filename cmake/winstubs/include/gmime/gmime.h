// GMime (and the bits of GLib its callers touch) for the Windows build. GMime is set up lazily
// before its first use, so that set-up is where the build refuses: the first MIME parse or export
// stops the process with "GMime is not part of this Windows build".
#pragma once

#include "../hxstub.h"

#include <cstddef>

typedef void* gpointer;
typedef unsigned char guint8;
typedef unsigned int guint;
typedef int gint;
typedef int gint32;
typedef long long gint64;
typedef gint64 GTimeSpan;
#define G_TIME_SPAN_MINUTE ((GTimeSpan)60000000)
typedef int gboolean;
typedef std::size_t gsize;
typedef long gssize;
typedef char gchar;
#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

struct GByteArray {
    guint8* data;
    guint len;
};
struct GError {
    unsigned int domain;
    int code;
    char* message;
};
struct GDateTime;
struct GTimeZone;

struct GMimeObject;
struct GMimePart;
struct GMimeMultipart;
struct GMimeMessage;
struct GMimeMessagePart;
struct GMimeStream {
    gint64 position;
    gint64 bound_start;
    gint64 bound_end;
};
struct GMimeStreamMem;
struct GMimeParser;
struct GMimeParserOptions;
struct GMimeFormatOptions;
struct GMimeContentType;
struct GMimeContentDisposition;
struct GMimeDataWrapper;
struct GMimeHeader;
struct GMimeHeaderList;
struct GMimeParam;
struct GMimeParamList;
struct InternetAddress;
struct InternetAddressList;

typedef enum {
    GMIME_CONTENT_ENCODING_DEFAULT,
    GMIME_CONTENT_ENCODING_7BIT,
    GMIME_CONTENT_ENCODING_8BIT,
    GMIME_CONTENT_ENCODING_BINARY,
    GMIME_CONTENT_ENCODING_BASE64,
    GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE,
    GMIME_CONTENT_ENCODING_UUENCODE
} GMimeContentEncoding;
typedef enum { GMIME_ENCODING_CONSTRAINT_7BIT, GMIME_ENCODING_CONSTRAINT_8BIT } GMimeEncodingConstraint;
typedef enum {
    GMIME_ADDRESS_TYPE_SENDER,
    GMIME_ADDRESS_TYPE_FROM,
    GMIME_ADDRESS_TYPE_REPLY_TO,
    GMIME_ADDRESS_TYPE_TO,
    GMIME_ADDRESS_TYPE_CC,
    GMIME_ADDRESS_TYPE_BCC
} GMimeAddressType;
typedef enum { GMIME_FORMAT_MESSAGE, GMIME_FORMAT_MBOX } GMimeFormat;
typedef enum { GMIME_NEWLINE_FORMAT_UNIX, GMIME_NEWLINE_FORMAT_DOS } GMimeNewLineFormat;
typedef enum {
    GMIME_PARAM_ENCODING_METHOD_DEFAULT,
    GMIME_PARAM_ENCODING_METHOD_RFC2231
} GMimeParamEncodingMethod;

// Type checks answer "no" and casts keep the pointer: nothing is ever built to check.
#define HXSTUB_GMIME_TYPE(CAST, IS, Type)                                                                    \
    template <class P> inline Type* CAST(P* p) {                                                             \
        return reinterpret_cast<Type*>(p);                                                                   \
    }                                                                                                        \
    template <class P> inline bool IS(P*) {                                                                  \
        return false;                                                                                        \
    }
HXSTUB_GMIME_TYPE(GMIME_OBJECT, GMIME_IS_OBJECT, GMimeObject)
HXSTUB_GMIME_TYPE(GMIME_PART, GMIME_IS_PART, GMimePart)
HXSTUB_GMIME_TYPE(GMIME_MULTIPART, GMIME_IS_MULTIPART, GMimeMultipart)
HXSTUB_GMIME_TYPE(GMIME_MESSAGE, GMIME_IS_MESSAGE, GMimeMessage)
HXSTUB_GMIME_TYPE(GMIME_MESSAGE_PART, GMIME_IS_MESSAGE_PART, GMimeMessagePart)
HXSTUB_GMIME_TYPE(GMIME_STREAM_MEM, GMIME_IS_STREAM_MEM, GMimeStreamMem)
HXSTUB_GMIME_TYPE(INTERNET_ADDRESS_MAILBOX, INTERNET_ADDRESS_IS_MAILBOX, InternetAddress)
HXSTUB_GMIME_TYPE(INTERNET_ADDRESS_GROUP, INTERNET_ADDRESS_IS_GROUP, InternetAddress)

HXSTUB_REFUSE("GMime", g_mime_init)
HXSTUB_REFUSE("GMime", g_byte_array_new)
HXSTUB_EMPTY(g_byte_array_free)
HXSTUB_EMPTY(g_convert)
HXSTUB_EMPTY(g_date_time_get_day_of_month)
HXSTUB_EMPTY(g_date_time_get_hour)
HXSTUB_EMPTY(g_date_time_get_minute)
HXSTUB_EMPTY(g_date_time_get_month)
HXSTUB_EMPTY(g_date_time_get_second)
inline GTimeSpan g_date_time_get_utc_offset(GDateTime*) {
    return 0;
}
HXSTUB_EMPTY(g_date_time_get_year)
HXSTUB_EMPTY(g_date_time_new)
HXSTUB_EMPTY(g_date_time_unref)
HXSTUB_EMPTY(g_error_free)
HXSTUB_EMPTY(g_free)
HXSTUB_EMPTY(g_mime_charset_iconv_name)
HXSTUB_EMPTY(g_mime_content_disposition_get_disposition)
HXSTUB_EMPTY(g_mime_content_disposition_get_parameter)
HXSTUB_EMPTY(g_mime_content_disposition_new)
HXSTUB_EMPTY(g_mime_content_disposition_parse)
HXSTUB_EMPTY(g_mime_content_disposition_set_disposition)
HXSTUB_EMPTY(g_mime_content_disposition_set_parameter)
HXSTUB_EMPTY(g_mime_content_encoding_from_string)
HXSTUB_EMPTY(g_mime_content_encoding_to_string)
HXSTUB_EMPTY(g_mime_content_type_encode)
HXSTUB_EMPTY(g_mime_content_type_get_media_subtype)
HXSTUB_EMPTY(g_mime_content_type_get_media_type)
HXSTUB_EMPTY(g_mime_content_type_get_mime_type)
HXSTUB_EMPTY(g_mime_content_type_get_parameter)
HXSTUB_EMPTY(g_mime_content_type_get_parameters)
HXSTUB_EMPTY(g_mime_content_type_new)
HXSTUB_EMPTY(g_mime_content_type_parse)
HXSTUB_EMPTY(g_mime_content_type_set_parameter)
HXSTUB_EMPTY(g_mime_data_wrapper_get_stream)
HXSTUB_EMPTY(g_mime_data_wrapper_new_with_stream)
HXSTUB_EMPTY(g_mime_data_wrapper_write_to_stream)
HXSTUB_EMPTY(g_mime_format_options_new)
HXSTUB_EMPTY(g_mime_format_options_set_newline_format)
HXSTUB_EMPTY(g_mime_format_options_set_param_encoding_method)
HXSTUB_EMPTY(g_mime_header_get_name)
HXSTUB_EMPTY(g_mime_header_get_offset)
HXSTUB_EMPTY(g_mime_header_get_raw_value)
HXSTUB_EMPTY(g_mime_header_get_value)
HXSTUB_EMPTY(g_mime_header_list_get_count)
HXSTUB_EMPTY(g_mime_header_list_get_header_at)
HXSTUB_EMPTY(g_mime_message_add_mailbox)
HXSTUB_EMPTY(g_mime_message_get_addresses)
HXSTUB_EMPTY(g_mime_message_get_mime_part)
HXSTUB_EMPTY(g_mime_message_new)
HXSTUB_EMPTY(g_mime_message_part_get_message)
HXSTUB_EMPTY(g_mime_message_part_new_with_message)
HXSTUB_EMPTY(g_mime_message_set_mime_part)
HXSTUB_EMPTY(g_mime_multipart_add)
HXSTUB_EMPTY(g_mime_multipart_get_boundary)
HXSTUB_EMPTY(g_mime_multipart_get_count)
HXSTUB_EMPTY(g_mime_multipart_get_part)
HXSTUB_EMPTY(g_mime_multipart_new_with_subtype)
HXSTUB_EMPTY(g_mime_multipart_set_boundary)
HXSTUB_EMPTY(g_mime_object_append_header)
HXSTUB_EMPTY(g_mime_object_get_content_disposition)
HXSTUB_EMPTY(g_mime_object_get_content_id)
HXSTUB_EMPTY(g_mime_object_get_content_type)
HXSTUB_EMPTY(g_mime_object_get_disposition)
HXSTUB_EMPTY(g_mime_object_get_header)
HXSTUB_EMPTY(g_mime_object_get_header_list)
HXSTUB_EMPTY(g_mime_object_set_content_disposition)
HXSTUB_EMPTY(g_mime_object_set_content_id)
HXSTUB_EMPTY(g_mime_object_set_content_type)
HXSTUB_EMPTY(g_mime_object_to_string)
HXSTUB_EMPTY(g_mime_param_get_name)
HXSTUB_EMPTY(g_mime_param_get_value)
HXSTUB_EMPTY(g_mime_param_list_get_parameter_at)
HXSTUB_EMPTY(g_mime_param_list_length)
HXSTUB_EMPTY(g_mime_parser_construct_message)
HXSTUB_EMPTY(g_mime_parser_construct_part)
HXSTUB_EMPTY(g_mime_parser_new_with_stream)
HXSTUB_EMPTY(g_mime_parser_options_new)
HXSTUB_EMPTY(g_mime_parser_options_set_fallback_charsets)
HXSTUB_EMPTY(g_mime_parser_set_format)
HXSTUB_EMPTY(g_mime_parser_set_persist_stream)
HXSTUB_EMPTY(g_mime_part_get_best_content_encoding)
HXSTUB_EMPTY(g_mime_part_get_content)
HXSTUB_EMPTY(g_mime_part_get_content_encoding)
HXSTUB_EMPTY(g_mime_part_get_filename)
HXSTUB_EMPTY(g_mime_part_new_with_type)
HXSTUB_EMPTY(g_mime_part_set_content)
HXSTUB_EMPTY(g_mime_part_set_content_encoding)
HXSTUB_EMPTY(g_mime_shutdown)
HXSTUB_EMPTY(g_mime_stream_mem_get_byte_array)
HXSTUB_EMPTY(g_mime_stream_mem_new)
HXSTUB_EMPTY(g_mime_stream_mem_new_with_buffer)
HXSTUB_EMPTY(g_mime_stream_mem_new_with_byte_array)
HXSTUB_EMPTY(g_mime_stream_mem_set_owner)
HXSTUB_EMPTY(g_mime_utils_header_decode_date)
HXSTUB_EMPTY(g_mime_utils_header_format_date)
HXSTUB_EMPTY(g_object_unref)
HXSTUB_EMPTY(g_time_zone_new_offset)
HXSTUB_EMPTY(g_time_zone_unref)
HXSTUB_EMPTY(g_utf8_validate)
HXSTUB_EMPTY(internet_address_get_name)
HXSTUB_EMPTY(internet_address_group_get_members)
HXSTUB_EMPTY(internet_address_list_add)
HXSTUB_EMPTY(internet_address_list_get_address)
HXSTUB_EMPTY(internet_address_list_length)
HXSTUB_EMPTY(internet_address_list_new)
HXSTUB_EMPTY(internet_address_list_parse)
HXSTUB_EMPTY(internet_address_list_to_string)
HXSTUB_EMPTY(internet_address_mailbox_get_addr)
HXSTUB_EMPTY(internet_address_mailbox_new)
