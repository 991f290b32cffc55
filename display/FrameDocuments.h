// The documents of a channel frame in its settings file: each document's
// own settings, one after the other in the frame's order.
//
// A frame with echo traces (depth, upper echo trace, upper echogram, lower
// echo trace, lower echogram) also reads the files written before it had
// them, which hold the depth and echogram documents alone under the same
// version text. Its documents are read as a whole: a file that is not
// exactly the five documents, with every value in range, is read as the
// three; one that is neither changes no document and throws.
#pragma once

#include <vector>

class CAbstractESDoc;
class CArchive;

class CFrameDocuments
{
public:
    static void Serialize(CArchive& ar, const std::vector<CAbstractESDoc*>& documents);

private:
    // One document's own settings; a document of a kind without settings
    // writes and reads nothing.
    static void SerializeOne(CArchive& ar, CAbstractESDoc* document);
};
