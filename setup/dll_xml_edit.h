// The simulator's dll.xml edited as text: one <Launch.Addon> block for
// DrovanaX goes in, is brought up to date or comes out, and every other byte
// (other add-ons, comments, whitespace, line endings, byte-order mark, the
// declared encoding) stays as it was. The text has passed the XML parser
// before it comes here; what this reads is only its outline.
#ifndef DROVANA_SETUP_DLL_XML_EDIT_H
#define DROVANA_SETUP_DLL_XML_EDIT_H

#include <stddef.h>

#include <string>

enum DllXmlEdit {
    DLLXML_ADDED,         // a DrovanaX block was inserted before </SimBase.Document>
    DLLXML_UPDATED,       // the DrovanaX block there was corrected in place
    DLLXML_UNCHANGED,     // nothing to do: edited holds the text as it was
    DLLXML_REMOVED,       // every DrovanaX block went, with the line it stood on
    DLLXML_NOT_EDITABLE,  // a form this does not edit; the reason says which
};

// Exactly one DrovanaX block afterwards: a block named DrovanaX (in any case)
// gets Name DrovanaX, Disabled False, ManualLoad False and Path DrovanaX.dll,
// keeping any other element it holds; further ones are removed.
DllXmlEdit AddDrovanaEntry(const std::string &text, std::string *edited, char *reason, size_t reasonSize);

DllXmlEdit RemoveDrovanaEntry(const std::string &text, std::string *edited, char *reason, size_t reasonSize);

#endif
