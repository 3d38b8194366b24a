#include "xml_check.h"

#include <windows.h>
#include <objbase.h>
#include <msxml2.h>
#include <shlwapi.h>

#include <stdio.h>
#include <string.h>

#include <initializer_list>

namespace {

// MinGW's msxml2.h declares neither of these class ids.
const CLSID kDomDocument60 = {0x88d96a05, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
const CLSID kDomDocument30 = {0xf5078f32, 0xc551, 0x11d3, {0x89, 0xb9, 0x00, 0x00, 0xf8, 0x1f, 0xe2, 0x21}};

// COM for the length of one check, whatever the caller's thread already has.
class ComScope {
public:
    ComScope() : initialized(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComScope() {
        if (initialized) CoUninitialize();
    }
    ComScope(const ComScope &) = delete;
    ComScope &operator=(const ComScope &) = delete;

private:
    bool initialized;
};

IXMLDOMDocument *CreateDocument() {
    for (const CLSID &parser : {kDomDocument60, kDomDocument30}) {
        IXMLDOMDocument *document = nullptr;
        if (SUCCEEDED(CoCreateInstance(parser, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                                       reinterpret_cast<void **>(&document))))
            return document;
    }
    return nullptr;
}

void ReadParseError(IXMLDOMDocument *document, XmlProblem *problem) {
    IXMLDOMParseError *error = nullptr;
    if (FAILED(document->get_parseError(&error)) || error == nullptr) return;
    error->get_line(&problem->line);
    error->get_linepos(&problem->column);
    BSTR reason = nullptr;
    if (SUCCEEDED(error->get_reason(&reason)) && reason != nullptr) {
        WideCharToMultiByte(CP_ACP, 0, reason, -1, problem->reason, sizeof(problem->reason), nullptr, nullptr);
        problem->reason[sizeof(problem->reason) - 1] = '\0';
        SysFreeString(reason);
    }
    error->Release();
    // MSXML ends its reasons with a line break.
    size_t length = strlen(problem->reason);
    while (length > 0 && (problem->reason[length - 1] == '\r' || problem->reason[length - 1] == '\n' ||
                          problem->reason[length - 1] == ' '))
        problem->reason[--length] = '\0';
}

}  // namespace

XmlCheckResult CheckXmlFile(const char *path, XmlProblem *problem) {
    memset(problem, 0, sizeof(*problem));
    ComScope com;
    IXMLDOMDocument *document = CreateDocument();
    if (document == nullptr) {
        snprintf(problem->reason, sizeof(problem->reason), "no XML parser (MSXML 6 or 3) could be created");
        return XML_NO_PARSER;
    }
    document->put_async(VARIANT_FALSE);
    document->put_validateOnParse(VARIANT_FALSE);
    document->put_resolveExternals(VARIANT_FALSE);

    // Handed a name, the parser reads it as a URL: in a profile folder named
    // "Pilot%20One" it looked for "Pilot One" and called the file not
    // well-formed. A stream on the file is read as it is.
    XmlCheckResult result = XML_MALFORMED;
    IStream *stream = nullptr;
    const HRESULT opened = SHCreateStreamOnFileA(path, STGM_READ | STGM_SHARE_DENY_WRITE, &stream);
    if (FAILED(opened)) {
        snprintf(problem->reason, sizeof(problem->reason), "the file could not be opened (error %lu)",
                 static_cast<unsigned long>(HRESULT_CODE(opened)));
    } else {
        VARIANT source;
        VariantInit(&source);
        source.vt = VT_UNKNOWN;
        source.punkVal = stream;  // the variant's reference, released with it
        VARIANT_BOOL loaded = VARIANT_FALSE;
        if (SUCCEEDED(document->load(source, &loaded)) && loaded == VARIANT_TRUE) {
            result = XML_WELL_FORMED;
        } else {
            ReadParseError(document, problem);
            if (problem->reason[0] == '\0') snprintf(problem->reason, sizeof(problem->reason), "not well-formed");
        }
        VariantClear(&source);
    }
    document->Release();
    return result;
}

void DescribeXmlProblem(const XmlProblem &problem, char *text, size_t size) {
    if (problem.line > 0)
        snprintf(text, size, "%s (line %ld, column %ld)", problem.reason, problem.line, problem.column);
    else
        snprintf(text, size, "%s", problem.reason);
}
