// Asks the platform's own XML parser (MSXML through COM) whether a file is
// well-formed, the way the simulator's loader will read it.
#ifndef DROVANA_SETUP_XML_CHECK_H
#define DROVANA_SETUP_XML_CHECK_H

#include <stddef.h>

enum XmlCheckResult {
    XML_WELL_FORMED,
    XML_MALFORMED,  // the parser's reason, and its line and column when it gives them
    XML_NO_PARSER,  // neither MSXML 6 nor MSXML 3 could be created
};

struct XmlProblem {
    long line;  // 0 when the parser gives none (Wine's does not)
    long column;
    char reason[256];
};

XmlCheckResult CheckXmlFile(const char *path, XmlProblem *problem);

// "reason (line L, column C)", or the reason alone when there is no line.
void DescribeXmlProblem(const XmlProblem &problem, char *text, size_t size);

#endif
