/* Just enough JSON to read values out of mrv_sysinfo's document: a value is
 * a pointer to its first character inside the NUL-terminated text. Every
 * function returns NULL (or 0) when the text is not what it expects. */
#ifndef JSON_LOOKUP_H
#define JSON_LOOKUP_H

#include <stddef.h>

/* The value of KEY in the object at OBJECT. */
const char* json_member(const char* object, const char* key);
/* Element INDEX (from 0) of the array at ARRAY. */
const char* json_element(const char* array, long long index);
/* The string at VALUE, unescaped into OUT (UTF-8, NUL-terminated); 0 when it
 * is not a string or does not fit. */
int json_string(const char* value, char* out, size_t out_size);
/* The integer at VALUE; 0 when it is not one. */
int json_integer(const char* value, long long* out);

#endif
