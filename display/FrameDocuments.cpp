#include "display/FrameDocuments.h"

#include "base/Archive.h"
#include "display/DepthDoc.h"
#include "display/EchoTraceDoc.h"
#include "display/EchogramDoc.h"

#include <algorithm>
#include <exception>

void CFrameDocuments::SerializeOne(CArchive& ar, CAbstractESDoc* document)
{
    if (auto* depth = dynamic_cast<CDepthDoc*>(document))
        depth->Serialize(ar);
    else if (auto* trace = dynamic_cast<CEchoTraceDoc*>(document))
        trace->Serialize(ar);
    else if (auto* echogram = dynamic_cast<CEchogramDoc*>(document))
        echogram->Serialize(ar);
}

void CFrameDocuments::Serialize(CArchive& ar, const std::vector<CAbstractESDoc*>& documents)
{
    const bool traces = std::any_of(documents.begin(), documents.end(),
                                    [](CAbstractESDoc* d) { return dynamic_cast<CEchoTraceDoc*>(d) != nullptr; });
    if (ar.IsStoring() || !traces) {
        for (CAbstractESDoc* document : documents)
            SerializeOne(ar, document);
        return;
    }
    // The rest of the file, to be read in either layout.
    std::vector<BYTE> rest;
    BYTE chunk[4096];
    for (UINT n; (n = ar.Read(chunk, sizeof chunk)) > 0;)
        rest.insert(rest.end(), chunk, chunk + n);
    // The documents as they are, to put back after a layout that fails.
    std::vector<BYTE> before;
    {
        CArchive snapshot(before, CArchive::store);
        for (CAbstractESDoc* document : documents)
            SerializeOne(snapshot, document);
    }
    const auto attempt = [&](bool withTraces) {
        try {
            CArchive in(rest.data(), rest.size());
            for (CAbstractESDoc* document : documents)
                if (withTraces || !dynamic_cast<CEchoTraceDoc*>(document))
                    SerializeOne(in, document);
            // Every byte belongs to a document of the layout.
            BYTE extra = 0;
            if (in.Read(&extra, 1) != 0)
                throw CArchiveException(CArchiveException::badSchema);
            return true;
        } catch (const std::exception&) {
            CArchive restore(before, CArchive::load);
            for (CAbstractESDoc* document : documents)
                SerializeOne(restore, document);
            return false;
        }
    };
    if (!attempt(true) && !attempt(false))
        throw CArchiveException(CArchiveException::badSchema);
}
