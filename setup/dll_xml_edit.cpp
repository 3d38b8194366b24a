#include "dll_xml_edit.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <vector>

namespace {

const char kRootName[] = "SimBase.Document";
const char kBlockName[] = "Launch.Addon";
const char kAddonName[] = "DrovanaX";

struct Field {
    const char *tag;
    const char *value;
};

// What the block holds, in the order the simulator's own examples use.
const Field kFields[] = {
    {"Name", kAddonName},
    {"Disabled", "False"},
    {"ManualLoad", "False"},
    {"Path", "DrovanaX.dll"},
};

struct Element {
    std::string name;
    size_t start;         // the '<' of the start tag
    size_t contentStart;  // just after the start tag
    size_t contentEnd;    // the '<' of the end tag
    size_t end;           // just after the end tag
    int parent;           // index in the outline, -1 for the root
    bool selfClosing;
};

struct Edit {
    size_t start;
    size_t end;
    std::string with;
};

void SetReason(char *reason, size_t size, const char *text) { snprintf(reason, size, "%s", text); }

bool StartsWith(const std::string &text, size_t at, const char *prefix) {
    return text.compare(at, strlen(prefix), prefix) == 0;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The '>' that ends the markup starting at lt, past quoted attribute values
// and, in a declaration (<!DOCTYPE ...>), past an internal subset in brackets.
size_t TagEnd(const std::string &text, size_t lt) {
    const bool declaration = StartsWith(text, lt, "<!");
    int depth = 0;
    char quote = 0;
    for (size_t i = lt + (declaration ? 2 : 1); i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (declaration && (c == '[' || c == ']')) {
            depth += c == '[' ? 1 : -1;
        } else if (c == '>' && depth <= 0) {
            return i;
        }
    }
    return std::string::npos;
}

// Markup whose content is no element: a block in a comment is no block.
struct Opaque {
    const char *open;
    const char *close;
};
const Opaque kOpaque[] = {{"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}};

std::string NameAt(const std::string &text, size_t at) {
    size_t end = at;
    while (end < text.size() && !IsSpace(text[end]) && text[end] != '/' && text[end] != '>') ++end;
    return text.substr(at, end - at);
}

// The elements of the document in order, with their spans. Comments, CDATA,
// processing instructions and declarations are stepped over.
bool Outline(const std::string &text, std::vector<Element> *elements, char *reason, size_t reasonSize) {
    std::vector<int> open;
    size_t pos = 0;
    for (;;) {
        const size_t lt = text.find('<', pos);
        if (lt == std::string::npos) break;
        const Opaque *opaque = nullptr;
        for (const Opaque &kind : kOpaque) {
            if (opaque == nullptr && StartsWith(text, lt, kind.open)) opaque = &kind;
        }
        size_t end;
        if (opaque != nullptr) {
            end = text.find(opaque->close, lt + strlen(opaque->open));
            pos = end == std::string::npos ? end : end + strlen(opaque->close);
        } else if (StartsWith(text, lt, "<!")) {
            end = TagEnd(text, lt);
            pos = end == std::string::npos ? end : end + 1;
        } else if (StartsWith(text, lt, "</")) {
            end = text.find('>', lt);
            if (end == std::string::npos || open.empty() || (*elements)[open.back()].name != NameAt(text, lt + 2)) {
                SetReason(reason, reasonSize, "an end tag does not match its start tag");
                return false;
            }
            (*elements)[open.back()].contentEnd = lt;
            (*elements)[open.back()].end = end + 1;
            open.pop_back();
            pos = end + 1;
        } else {
            end = TagEnd(text, lt);
            if (end == std::string::npos) break;
            Element element;
            element.name = NameAt(text, lt + 1);
            element.start = lt;
            element.contentStart = end + 1;
            element.parent = open.empty() ? -1 : open.back();
            element.selfClosing = text[end - 1] == '/';
            element.contentEnd = element.selfClosing ? end + 1 : std::string::npos;
            element.end = element.contentEnd;
            elements->push_back(element);
            if (!element.selfClosing) open.push_back(static_cast<int>(elements->size() - 1));
            pos = end + 1;
        }
        if (pos == std::string::npos) {
            SetReason(reason, reasonSize, "markup that does not end");
            return false;
        }
    }
    if (elements->empty()) {
        SetReason(reason, reasonSize, "there is no root element");
        return false;
    }
    if (!open.empty()) {
        SetReason(reason, reasonSize, "an element that is not closed");
        return false;
    }
    return true;
}

size_t LineStart(const std::string &text, size_t pos) {
    while (pos > 0 && text[pos - 1] != '\n' && text[pos - 1] != '\r') --pos;
    return pos;
}

bool BlankBetween(const std::string &text, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
        if (!IsBlank(text[i])) return false;
    }
    return true;
}

// Just past the line ending that follows pos over blanks only; the text's
// end when it ends there; npos when anything else follows on the line.
size_t LineEndAfter(const std::string &text, size_t pos) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    if (pos == text.size()) return pos;
    if (StartsWith(text, pos, "\r\n")) return pos + 2;
    if (text[pos] == '\n' || text[pos] == '\r') return pos + 1;
    return std::string::npos;
}

// The file's own line ending: the first one in it, CR LF when it has none.
std::string LineEnding(const std::string &text) {
    const size_t at = text.find_first_of("\r\n");
    if (at == std::string::npos) return "\r\n";
    if (StartsWith(text, at, "\r\n")) return "\r\n";
    return text.substr(at, 1);
}

// The blanks before an element that starts its own line; false otherwise.
bool IndentOf(const std::string &text, const Element &element, std::string *indent) {
    const size_t from = LineStart(text, element.start);
    if (!BlankBetween(text, from, element.start)) return false;
    *indent = text.substr(from, element.start - from);
    return true;
}

// The indentation of the first child of parent that starts its own line.
bool ChildIndent(const std::string &text, const std::vector<Element> &elements, int parent, std::string *indent) {
    for (const Element &element : elements) {
        if (element.parent == parent && IndentOf(text, element, indent)) return true;
    }
    return false;
}

std::string Deeper(const std::string &indent) { return indent + (indent.empty() ? std::string("  ") : indent); }

bool EqualsIgnoringCase(const std::string &a, const char *b) {
    return a.size() == strlen(b) && _strnicmp(a.c_str(), b, a.size()) == 0;
}

std::string Trimmed(const std::string &text, size_t from, size_t to) {
    while (from < to && IsSpace(text[from])) ++from;
    while (to > from && IsSpace(text[to - 1])) --to;
    return text.substr(from, to - from);
}

int ChildNamed(const std::vector<Element> &elements, int parent, const char *name) {
    for (size_t i = 0; i < elements.size(); ++i) {
        if (elements[i].parent == parent && elements[i].name == name) return static_cast<int>(i);
    }
    return -1;
}

// The Launch.Addon children of the root whose Name is DrovanaX.
std::vector<int> DrovanaBlocks(const std::string &text, const std::vector<Element> &elements) {
    std::vector<int> blocks;
    for (size_t i = 0; i < elements.size(); ++i) {
        if (elements[i].parent != 0 || elements[i].name != kBlockName) continue;
        const int name = ChildNamed(elements, static_cast<int>(i), "Name");
        if (name < 0) continue;
        if (EqualsIgnoringCase(Trimmed(text, elements[name].contentStart, elements[name].contentEnd), kAddonName))
            blocks.push_back(static_cast<int>(i));
    }
    return blocks;
}

std::string FieldElement(const Field &field) {
    return std::string("<") + field.tag + ">" + field.value + "</" + field.tag + ">";
}

// DrovanaX's block, its fields at inner, each line ended with eol; with no
// eol, in one piece.
std::string NewBlock(const std::string &indent, const std::string &inner, const std::string &eol) {
    std::string block = indent + "<" + kBlockName + ">" + eol;
    for (const Field &field : kFields) block += inner + FieldElement(field) + eol;
    return block + indent + "</" + kBlockName + ">" + eol;
}

// A block alone on its lines goes with those lines; one that shares a line
// with other markup goes alone.
Edit Removal(const std::string &text, const Element &block) {
    const size_t from = LineStart(text, block.start);
    const size_t to = LineEndAfter(text, block.end);
    if (BlankBetween(text, from, block.start) && to != std::string::npos) return Edit{from, to, std::string()};
    return Edit{block.start, block.end, std::string()};
}

// Before </SimBase.Document>: on lines of its own, indented like the other
// blocks, when the closing tag starts its line; in one piece right before the
// tag when the document keeps its markup on one line.
Edit Insertion(const std::string &text, const std::vector<Element> &elements) {
    const Element &root = elements[0];
    const size_t lineStart = LineStart(text, root.contentEnd);
    if (!BlankBetween(text, lineStart, root.contentEnd))
        return Edit{root.contentEnd, root.contentEnd, NewBlock("", "", "")};
    const std::string eol = LineEnding(text);
    std::string indent;
    std::string inner;
    int model = -1;
    for (size_t i = 1; i < elements.size() && model < 0; ++i) {
        if (elements[i].parent == 0 && elements[i].name == kBlockName && IndentOf(text, elements[i], &indent))
            model = static_cast<int>(i);
    }
    if (model < 0 && !ChildIndent(text, elements, 0, &indent))
        indent = Deeper(text.substr(lineStart, root.contentEnd - lineStart));
    if (model < 0 || !ChildIndent(text, elements, model, &inner)) inner = Deeper(indent);
    return Edit{lineStart, lineStart, NewBlock(indent, inner, eol)};
}

// Each field's element set to its value in place; missing ones added before
// </Launch.Addon> the same way a new block goes before the root's end.
void UpdateBlock(const std::string &text, const std::vector<Element> &elements, int block,
                 std::vector<Edit> *edits) {
    std::string missing;
    std::string missingInline;
    const Element &element = elements[block];
    const size_t lineStart = LineStart(text, element.contentEnd);
    const bool ownLine = lineStart > element.contentStart && BlankBetween(text, lineStart, element.contentEnd);
    std::string indent;
    std::string inner;
    IndentOf(text, element, &indent);
    if (!ChildIndent(text, elements, block, &inner)) inner = Deeper(indent);
    for (const Field &field : kFields) {
        const std::string wanted = FieldElement(field);
        const int child = ChildNamed(elements, block, field.tag);
        if (child < 0) {
            missing += inner + wanted + LineEnding(text);
            missingInline += wanted;
        } else if (text.compare(elements[child].start, elements[child].end - elements[child].start, wanted) != 0) {
            edits->push_back(Edit{elements[child].start, elements[child].end, wanted});
        }
    }
    if (!missingInline.empty()) {
        if (ownLine)
            edits->push_back(Edit{lineStart, lineStart, missing});
        else
            edits->push_back(Edit{element.contentEnd, element.contentEnd, missingInline});
    }
}

std::string Apply(const std::string &text, std::vector<Edit> edits) {
    std::sort(edits.begin(), edits.end(), [](const Edit &a, const Edit &b) { return a.start > b.start; });
    std::string result = text;
    for (const Edit &edit : edits) result.replace(edit.start, edit.end - edit.start, edit.with);
    return result;
}

// The outline of a text this can edit: single-byte or UTF-8 text whose root
// is SimBase.Document. Until an edit is made, edited holds the text as it is.
bool EditableOutline(const std::string &text, std::string *edited, std::vector<Element> *elements, char *reason,
                     size_t reasonSize) {
    reason[0] = '\0';
    *edited = text;
    const size_t probe = text.size() < 4 ? text.size() : 4;
    if (StartsWith(text, 0, "\xFF\xFE") || StartsWith(text, 0, "\xFE\xFF") ||
        memchr(text.data(), '\0', probe) != nullptr) {
        SetReason(reason, reasonSize, "it is UTF-16 text, which DrovanaSetup does not edit");
        return false;
    }
    if (!Outline(text, elements, reason, reasonSize)) return false;
    if ((*elements)[0].name != kRootName) {
        snprintf(reason, reasonSize, "its root element is <%.64s>, not <%s>", (*elements)[0].name.c_str(), kRootName);
        return false;
    }
    return true;
}

}  // namespace

DllXmlEdit AddDrovanaEntry(const std::string &text, std::string *edited, char *reason, size_t reasonSize) {
    std::vector<Element> elements;
    if (!EditableOutline(text, edited, &elements, reason, reasonSize)) return DLLXML_NOT_EDITABLE;
    const std::vector<int> blocks = DrovanaBlocks(text, elements);
    std::vector<Edit> edits;
    if (blocks.empty()) {
        if (elements[0].selfClosing) {
            SetReason(reason, reasonSize, "<SimBase.Document/> has no closing tag to insert before");
            return DLLXML_NOT_EDITABLE;
        }
        edits.push_back(Insertion(text, elements));
        *edited = Apply(text, edits);
        return DLLXML_ADDED;
    }
    UpdateBlock(text, elements, blocks[0], &edits);
    for (size_t i = 1; i < blocks.size(); ++i) edits.push_back(Removal(text, elements[blocks[i]]));
    if (edits.empty()) return DLLXML_UNCHANGED;
    *edited = Apply(text, edits);
    return DLLXML_UPDATED;
}

DllXmlEdit RemoveDrovanaEntry(const std::string &text, std::string *edited, char *reason, size_t reasonSize) {
    std::vector<Element> elements;
    if (!EditableOutline(text, edited, &elements, reason, reasonSize)) return DLLXML_NOT_EDITABLE;
    std::vector<Edit> edits;
    for (int block : DrovanaBlocks(text, elements)) edits.push_back(Removal(text, elements[block]));
    if (edits.empty()) return DLLXML_UNCHANGED;
    *edited = Apply(text, edits);
    return DLLXML_REMOVED;
}
