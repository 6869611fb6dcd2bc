/* A caller of mrv_sysinfo.dll linked through its import library: prints the
 * library's version, the two verdicts of the capabilities document and the
 * adapter chosen for the LLM server. The DLL is loaded before main and reads
 * gpu_architectures.json from the working directory then, so start this
 * program in the folder that holds the table. */
#include <stdio.h>
#include <stdlib.h>

#include <mrv_sysinfo.h>

#include "json_lookup.h"

/* The document, or NULL. Every call probes the machine afresh, so the
 * document may have grown by the second call: its result is then the new
 * size, and the next try uses that. */
static char* fetch_document(void) {
    int32_t size = get_system_capabilities_json(NULL, 0);
    int attempt;
    for (attempt = 0; attempt < 3 && size > 0; ++attempt) {
        char* document = malloc((size_t)size);
        int32_t written;
        if (document == NULL) return NULL;
        written = get_system_capabilities_json(document, size);
        if (written > 0 && written < size) return document;
        free(document);
        size = written;
    }
    return NULL;
}

static int print_string(const char* label, const char* value) {
    char text[1024];
    if (!json_string(value, text, sizeof text)) return 0;
    printf("%s: %s\n", label, text);
    return 1;
}

int main(void) {
    const char *capabilities, *llm_server;
    long long best_gpu = -1;
    int read;
    char* document;

    printf("version: %s\n", get_library_version());
    if ((document = fetch_document()) == NULL) {
        fprintf(stderr, "consumer: the library gave no document\n");
        return 1;
    }
    capabilities = json_member(document, "capabilities");
    llm_server = json_member(capabilities, "llm_server");
    read = print_string("transcription", json_member(json_member(capabilities, "transcription"), "status")) &&
           print_string("llm_server", json_member(llm_server, "status")) &&
           json_integer(json_member(llm_server, "best_gpu_index"), &best_gpu);
    if (read && best_gpu < 0) {
        printf("adapter: none\n");
    } else if (read) {
        read = print_string("adapter", json_member(json_element(json_member(document, "gpus"), best_gpu), "name"));
    }
    free(document);
    if (!read) {
        fprintf(stderr, "consumer: the document is not as expected\n");
        return 1;
    }
    return 0;
}
