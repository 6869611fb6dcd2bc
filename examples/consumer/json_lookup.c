#include "json_lookup.h"

#include <stdlib.h>
#include <string.h>

static const char* skip_space(const char* p) {
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') ++p;
    return p;
}

/* Past the string whose opening quote is at P. */
static const char* skip_string(const char* p) {
    for (++p; *p != '"'; ++p) {
        if (*p == '\0') return NULL;
        if (*p == '\\' && *++p == '\0') return NULL;
    }
    return p + 1;
}

/* Past the value at P. Objects and arrays are skipped by counting brackets
 * outside strings, which holds for valid JSON as the library writes it. */
static const char* skip_value(const char* p) {
    const char* start;
    p = skip_space(p);
    if (*p == '"') return skip_string(p);
    if (*p == '{' || *p == '[') {
        int depth = 0;
        do {
            if (*p == '"') {
                if ((p = skip_string(p)) == NULL) return NULL;
                continue;
            }
            if (*p == '\0') return NULL;
            if (*p == '{' || *p == '[') ++depth;
            if (*p == '}' || *p == ']') --depth;
            ++p;
        } while (depth > 0);
        return p;
    }
    for (start = p; *p != '\0' && strchr(",}] \t\r\n", *p) == NULL; ++p) {}
    return p > start ? p : NULL;
}

const char* json_member(const char* object, const char* key) {
    const size_t key_length = strlen(key);
    const char* p;
    if (object == NULL || *(p = skip_space(object)) != '{') return NULL;
    p = skip_space(p + 1);
    while (*p == '"') {
        const char* name = p + 1;
        int match;
        if ((p = skip_string(p)) == NULL) return NULL;
        /* The document's keys are plain ASCII, written without escapes. */
        match = (size_t)(p - 1 - name) == key_length && memcmp(name, key, key_length) == 0;
        p = skip_space(p);
        if (*p != ':') return NULL;
        p = skip_space(p + 1);
        if (match) return p;
        if ((p = skip_value(p)) == NULL) return NULL;
        p = skip_space(p);
        if (*p != ',') return NULL;
        p = skip_space(p + 1);
    }
    return NULL;
}

const char* json_element(const char* array, long long index) {
    const char* p;
    if (array == NULL || index < 0 || *(p = skip_space(array)) != '[') return NULL;
    p = skip_space(p + 1);
    if (*p == ']') return NULL;
    for (; index > 0; --index) {
        if ((p = skip_value(p)) == NULL) return NULL;
        p = skip_space(p);
        if (*p != ',') return NULL;
        p = skip_space(p + 1);
    }
    return p;
}

static int hex4(const char* p, unsigned* out) {
    unsigned value = 0;
    int i;
    for (i = 0; i < 4; ++i) {
        const char c = p[i];
        unsigned digit;
        if (c >= '0' && c <= '9') digit = (unsigned)(c - '0');
        else if (c >= 'a' && c <= 'f') digit = (unsigned)(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F') digit = (unsigned)(c - 'A' + 10);
        else return 0;
        value = value * 16 + digit;
    }
    *out = value;
    return 1;
}

static size_t utf8(unsigned code_point, char* out) {
    if (code_point < 0x80) {
        out[0] = (char)code_point;
        return 1;
    }
    if (code_point < 0x800) {
        out[0] = (char)(0xC0 | (code_point >> 6));
        out[1] = (char)(0x80 | (code_point & 0x3F));
        return 2;
    }
    if (code_point < 0x10000) {
        out[0] = (char)(0xE0 | (code_point >> 12));
        out[1] = (char)(0x80 | ((code_point >> 6) & 0x3F));
        out[2] = (char)(0x80 | (code_point & 0x3F));
        return 3;
    }
    out[0] = (char)(0xF0 | (code_point >> 18));
    out[1] = (char)(0x80 | ((code_point >> 12) & 0x3F));
    out[2] = (char)(0x80 | ((code_point >> 6) & 0x3F));
    out[3] = (char)(0x80 | (code_point & 0x3F));
    return 4;
}

/* The escape after the backslash at *P, as UTF-8 into OUT; advances *P. */
static size_t unescape(const char** p, char* out) {
    const char* s = *p + 1;
    unsigned code_point, low;
    *p = s + 1;
    switch (*s) {
    case '"': case '\\': case '/': out[0] = *s; return 1;
    case 'b': out[0] = '\b'; return 1;
    case 'f': out[0] = '\f'; return 1;
    case 'n': out[0] = '\n'; return 1;
    case 'r': out[0] = '\r'; return 1;
    case 't': out[0] = '\t'; return 1;
    case 'u': break;
    default: return 0;
    }
    if (!hex4(s + 1, &code_point)) return 0;
    *p = s + 5;
    if (code_point >= 0xD800 && code_point < 0xDC00) {
        if (s[5] != '\\' || s[6] != 'u' || !hex4(s + 7, &low) || low < 0xDC00 || low > 0xDFFF) return 0;
        code_point = 0x10000 + ((code_point - 0xD800) << 10) + (low - 0xDC00);
        *p = s + 11;
    }
    return utf8(code_point, out);
}

int json_string(const char* value, char* out, size_t out_size) {
    const char* p;
    size_t length = 0;
    if (value == NULL || *value != '"') return 0;
    for (p = value + 1; *p != '"';) {
        char piece[4];
        size_t piece_length = 1;
        if (*p == '\0') return 0;
        if (*p == '\\') {
            if ((piece_length = unescape(&p, piece)) == 0) return 0;
        } else {
            piece[0] = *p++;
        }
        if (length + piece_length >= out_size) return 0;
        memcpy(out + length, piece, piece_length);
        length += piece_length;
    }
    out[length] = '\0';
    return 1;
}

int json_integer(const char* value, long long* out) {
    char* end;
    if (value == NULL || (*value != '-' && (*value < '0' || *value > '9'))) return 0;
    *out = strtoll(value, &end, 10);
    return *end != '.' && *end != 'e' && *end != 'E';
}
