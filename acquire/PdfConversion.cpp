// Conversion of the stored JPEG to PDF through the PDF translation object.
#include <cstdio>
#include <memory>
#include <vector>

#include "acquire/TempFileModule.h"
#include "control/ScanControlState.h"
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
    Host& host = *s_->ports_.host;
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
        s_->err_.Step([&] { f.Open(listFile); });
        s_->err_.Step([&] {
            // The file is one line: a path holding a line break would inject a second one.
            if (HasLineBreakOrNul(jpgPath)) throw VbError(err::kBadFileName);
            f.Print(jpgPath + ",Folioray Image " + FormatNow());
        });
        s_->err_.Step([&] { f.Close(false); });
    }
    if (s_->err_.IsSet()) {
        RemoveQuietly(listFile);
        return fail("A temporary PDF interaction file could not be written (" +
                    s_->err_.Description() + ")");
    }

    std::unique_ptr<Dispatch> object;
    s_->err_.Step([&] {
        if (!s_->ports_.objects) throw VbError(err::kCantCreateObject);
        object = s_->ports_.objects->CreateObject("Image.Stream");
    });
    if (s_->err_.IsSet()) {
        RemoveQuietly(listFile);
        return fail("A PDF translation object could not be created (" + s_->err_.Description() +
                    ")");
    }

    s_->err_.Step([&] { DeleteFile(pdfPath); });
    s_->err_.Clear();
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
        s_->err_.Step([&] { object->Invoke(call.dispid, call.args); });
    }
    s_->err_.Step([&] { object.reset(); });
    s_->err_.Step([&] { DeleteFile(listFile); });

    if (!FileExists(pdfPath)) return fail("The PDF Conversion could not be performed.");
    s_->err_.Step([&] { DeleteFile(jpgPath); });
    return true;
}

}  // namespace folioray
