// Conversion of the stored JPEG to PDF through the PDF translation object.
#include <cstdio>
#include <memory>
#include <vector>

#include "acquire/TempFileModule.h"
#include "control/ScanControl.h"
#include "ports/Host.h"
#include "ports/ObjectFactory.h"
#include "runtime/FileOps.h"
#include "runtime/Format.h"
#include "runtime/Text.h"
#include "runtime/VbError.h"

namespace folioray {

namespace {

struct Call {
    int32_t dispid;
    std::vector<std::string> args;
};

// Removes our own scratch file without touching the pending error.
void RemoveQuietly(const std::string& path) {
    std::remove(path.c_str());
}

}  // namespace

bool ScanControl::ConvertToPdf(const std::string& jpgPath, const std::string& pdfPath,
                               bool pointerBackBeforeMessage) {
    Host& host = *ports_.host;
    auto fail = [&](const std::string& text) {
        if (pointerBackBeforeMessage) host.SetMousePointer(MousePointer::Default);
        host.MsgBox(text, "Pagewright Control", MsgBoxIcon::Exclamation);
        return false;
    };

    const std::string listFile = Trim(NewTempFileName());
    if (listFile.empty()) {
        return fail("A temporary PDF interaction file could not be created (Temp File Phase).");
    }
    {
        OutputFile f;
        err_.Step([&] { f.Open(listFile); });
        err_.Step([&] {
            // The file is one line: a path holding a line break would inject a second one.
            if (HasLineBreakOrNul(jpgPath)) throw VbError(err::kBadFileName);
            f.Print(jpgPath + ",Folioray Image " + FormatNow());
        });
        err_.Step([&] { f.Close(); });
    }
    if (err_.IsSet()) {
        RemoveQuietly(listFile);
        return fail("A temporary PDF interaction file could not be written (" + err_.Description() +
                    ")");
    }

    std::unique_ptr<Dispatch> object;
    err_.Step([&] {
        if (!ports_.objects) throw VbError(err::kCantCreateObject);
        object = ports_.objects->CreateObject("Image.Stream");
    });
    if (err_.IsSet()) {
        RemoveQuietly(listFile);
        return fail("A PDF translation object could not be created (" + err_.Description() + ")");
    }

    err_.Step([&] { DeleteFile(pdfPath); });
    err_.Clear();
    const Call calls[] = {
        {20, {"@" + listFile}},
        {22, {pdfPath}},
        {25, {"6", "9"}},
        {5, {}},
        {15, {}},
        {13, {}},
        {8, {"%f"}},
        {36, {"Brackenmoor (Pty) Ltd"}},
        {17, {"Folioray ActiveX Control"}},
        {34, {}},
        {23, {"100"}},
        {0, {}},
    };
    for (const Call& call : calls) {
        err_.Step([&] { object->Invoke(call.dispid, call.args); });
    }
    err_.Step([&] { object.reset(); });
    err_.Step([&] { DeleteFile(listFile); });

    if (!FileExists(pdfPath)) return fail("The PDF Conversion could not be performed.");
    err_.Step([&] { DeleteFile(jpgPath); });
    return true;
}

}  // namespace folioray
