// UploadFile and its progress display.
#include <charconv>
#include <cmath>
#include <exception>
#include <filesystem>
#include <new>
#include <string_view>

#include "control/ScanControlState.h"
#include "ports/Host.h"
#include "ports/Preview.h"
#include "runtime/Format.h"
#include "runtime/ScopedFlag.h"
#include "runtime/Text.h"
#include "runtime/VbError.h"
#include "upload/ProgressTexts.h"
#include "upload/cFTP.h"

namespace folioray {

namespace {

// The progress event counts bytes in 32 bits.
constexpr uintmax_t kMaxUploadBytes = 0x7FFFFFFF;
const std::string kTooLarge = "The file is too large to upload (2 GB or more)";

constexpr const char* kLineBreakDescription = "line breaks and NUL characters are not allowed";

// The text form of an argument, trimmed. A line break or NUL counts as a failed
// conversion: such text would end an FTP command early and let the rest run as another.
bool TextForm(const Variant& v, std::string& out, std::string& description) {
    try {
        out = Trim(v.IsMissing() ? std::string() : v.ToText());
    } catch (const VbError& e) {
        description = e.Description();
        return false;
    }
    if (HasLineBreakOrNul(out)) {
        description = kLineBreakDescription;
        return false;
    }
    return true;
}

// An ordinary file: not a folder, not hidden.
bool FindsOrdinaryFile(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    std::string name = std::filesystem::path(path).filename().string();
    return !name.empty() && name[0] != '.';
}

// Kilobytes rounded half-even, in integers: this runs for every event.
int64_t Kilobytes(int32_t bytes) {
    const int64_t q = bytes >> 10, r = bytes & 1023;
    return q + ((r > 512 || (r == 512 && (q & 1))) ? 1 : 0);
}

// RoundHalfEven for the percentage, without its general-purpose fmod.
double Nearest(double v) {
    if (!(v >= 0 && v < 1e15)) return RoundHalfEven(v);
    const double f = std::floor(v);
    const double d = v - f;
    if (d != 0.5) return d > 0.5 ? f + 1 : f;
    return (static_cast<int64_t>(f) & 1) ? f + 1 : f;
}

// Appends FormatNumber(v, "###,###,##0") for 0 <= v, without printf or a new string.
void AppendWhole(std::string& out, int64_t v, const std::string& sep) {
    char digits[24];
    const size_t n =
        static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, v).ptr - digits);
    const size_t lead = n % 3 == 0 ? 3 : n % 3;
    out.append(digits, lead);
    for (size_t i = lead; i < n; i += 3) {
        out += sep;
        out.append(digits + i, 3);
    }
}

std::string Describe(const std::exception_ptr& e) {
    try {
        std::rethrow_exception(e);
    } catch (const VbError& v) {
        return v.Description();
    } catch (const std::bad_alloc&) {
        return ErrorDescription(err::kOutOfMemory);
    } catch (const std::exception& x) {
        return x.what();
    } catch (...) {
        return "unknown failure";
    }
}

}  // namespace

const std::string& ProgressTexts::ToolTip(int32_t current, int32_t total) {
    if (current < 0 || total < 0) {
        tipValid_ = false;
        tip_ = "Uploaded " + FormatNumber(RoundHalfEven(current / 1024.0), "###,###,##0") + " of " +
               FormatNumber(RoundHalfEven(total / 1024.0), "###,###,##0") + " KB";
        return tip_;
    }
    const int64_t a = Kilobytes(current), b = Kilobytes(total);
    if (tipValid_ && a == tipA_ && b == tipB_) return tip_;
    if ((a >= 1000 || b >= 1000) && !sepRead_) {
        sep_ = GroupSeparator();
        sepRead_ = true;
    }
    if (!tipValid_ || b != tipB_) {
        tail_.assign(" of ");
        AppendWhole(tail_, b, sep_);
        tail_.append(" KB");
    }
    static constexpr std::string_view kHead = "Uploaded ";
    tip_.assign(kHead);
    AppendWhole(tip_, a, sep_);
    tip_.append(tail_);
    tipA_ = a;
    tipB_ = b;
    tipValid_ = true;
    return tip_;
}

const std::string& ProgressTexts::Percent(int32_t current, int32_t total) {
    const double p = Nearest(static_cast<double>(current) / static_cast<double>(total) * 100.0);
    if (!pctValid_ || p != pctP_) {
        pct_ = FormatNumber(p, "##0");
        pct_ += '%';
        pctP_ = p;
        pctValid_ = true;
    }
    return pct_;
}

std::string ScanControl::UploadFile(const Variant& vServer, const Variant& vUserName,
                                    const Variant& vPassword, const Variant& vFTPMode,
                                    const Variant& vRemoteFileName,
                                    const Variant& vRemoteDirectory) {
    // A pumped message may call in again while a file is on its way.
    if (s_->uploading_) return "An upload is already in progress.";

    std::string server, user, password, remoteName, remoteDir, why;
    int32_t mode = 0;
    std::string defaultRemote;
    try {
        if (s_->mCurrentName.empty()) {
            return "No data has been acquired. As a result, there is nothing to upload.";
        }
        if (!TextForm(vServer, server, why)) return "Invalid FTP Server specified (" + why + ")";
        if (server.empty()) return "No FTP Server specified (zero length string)";
        if (!TextForm(vUserName, user, why)) return "Invalid FTP Username specified (" + why + ")";
        if (user.empty()) return "No FTP Username specified (zero length string)";
        if (!TextForm(vPassword, password, why)) {
            return "Invalid FTP Password specified (" + why + ")";
        }
        if (password.empty()) return "No FTP Password specified (zero length string)";
        try {
            mode = vFTPMode.IsMissing() ? 0 : vFTPMode.ToLong();
        } catch (const VbError& e) {
            return "Invalid FTP Mode specified (" + e.Description() + ")";
        }
        if (!FindsOrdinaryFile(s_->mCurrentName))
            return "Could not locate acquired data on local storage";
        // Refused here, before a connection: a refusal once the store has begun would
        // already have cut the server's copy short.
        std::error_code ec;
        if (std::filesystem::file_size(s_->mCurrentName, ec) > kMaxUploadBytes && !ec) {
            return "Could not read acquired data from local storage (" + kTooLarge + ")";
        }
        if (s_->mCurrentName.size() < 9) return "Could not determine Default Remote FileName.";
        defaultRemote = s_->mCurrentName.substr(s_->mCurrentName.size() - 9);
        if (!TextForm(vRemoteFileName, remoteName, why)) {
            return "Invalid Remote FileName specified (" + why + ")";
        }
        if (remoteName.empty()) remoteName = defaultRemote;
        if (!TextForm(vRemoteDirectory, remoteDir, why)) {
            return "Invalid Remote Directory specified (" + why + ")";
        }
        if (!s_->ports_.internet) {
            return "Could not create FTP Object (no internet library is available on this "
                   "platform)";
        }
        s_->mFTP = std::make_unique<cFTP>(*s_->ports_.internet);
        s_->mFTP->FileTransferProgress = [this](int32_t& lCurrentBytes, int32_t& lTotalBytes) {
            mFTP_FileTransferProgress(lCurrentBytes, lTotalBytes);
        };
        s_->mFTP->DoEvents = [this] { s_->ports_.host->DoEvents(); };
    } catch (...) {
        s_->mFTP.reset();
        return "Could not create FTP Object (" + Describe(std::current_exception()) + ")";
    }

    ScopedFlag uploading(s_->uploading_);
    std::string result;
    bool connected = false;
    // A step that throws counts as a step that failed; the host never sees the error.
    auto step = [&](auto&& fn) {
        try {
            fn();
        } catch (...) {
        }
    };
    auto failWith = [&](const std::string& fallback) {
        result = s_->mFTP ? s_->mFTP->GetLastErrorMessage() : std::string();
        if (result.empty()) result = fallback;
    };

    step([&] { s_->ports_.host->SetMousePointer(MousePointer::Hourglass); });
    step([&] {
        s_->kids_.SetCaption(Child::Text1, "Uploading...");
        s_->kids_.SetVisible(Child::Text1, true);
        s_->ports_.host->Refresh("Text1");
        s_->ports_.host->DoEvents();
    });

    do {
        step([&] {
            s_->mFTP->SetTransferBinary();
            if (mode == 0) {
                s_->mFTP->SetModeActive();
            } else {
                s_->mFTP->SetModePassive();
            }
        });

        std::exception_ptr failure;
        try {
            connected = s_->mFTP->OpenConnection(server, user, password);
        } catch (...) {
            failure = std::current_exception();
        }
        if (!connected) {
            failWith("Could not connect to the FTP Server (" +
                     (failure ? Describe(failure) : std::string("no reason given")) + ")");
            break;
        }

        if (!remoteDir.empty()) {
            bool changed = false;
            try {
                changed = s_->mFTP->SetFTPDirectory(remoteDir);
            } catch (...) {
                failure = std::current_exception();
            }
            if (!changed) {
                failWith("Could not change to the remote directory (" +
                         (failure ? Describe(failure) : std::string("no reason given")) + ")");
                break;
            }
        }

        // Lock the control for the transfer.
        step([&] {
            s_->kids_.SetEnabled(Child::Command1, false);
            s_->kids_.SetEnabled(Child::Command2, false);
            s_->kids_.SetEnabled(Child::Command4, false);
            s_->kids_.SetEnabled(Child::Command5, false);
        });
        step([&] {
            if (s_->ports_.preview) s_->ports_.preview->SetPreviewEnabled(false);
        });
        s_->progressTexts_.Reset();
        step([&] {
            const ChildControl& pb = s_->kids_[Child::PB];
            s_->kids_.SetProgress(Child::PB, pb.max, pb.min, 0);
            s_->kids_.SetToolTip(Child::PB, "Attempting Upload...");
            s_->kids_.SetVisible(Child::PB, true);
            s_->ports_.host->Refresh("PB");
            s_->ports_.host->DoEvents();
        });

        bool uploaded = false;
        try {
            uploaded = s_->mFTP->FTPUploadFile(s_->mCurrentName, remoteName);
            if (!uploaded) failWith("The upload failed for an unknown reason.");
        } catch (...) {
            // The local file failed to open or read: the client has no text for it.
            result = "Could not read acquired data from local storage (" +
                     Describe(std::current_exception()) + ")";
        }

        // Unlock, whatever the outcome.
        step([&] { s_->kids_.SetVisible(Child::PB, false); });
        step([&] {
            s_->kids_.SetEnabled(Child::Command1, true);
            s_->kids_.SetEnabled(Child::Command2, true);
            s_->kids_.SetEnabled(Child::Command4, true);
            s_->kids_.SetEnabled(Child::Command5, true);
        });
        step([&] {
            if (s_->ports_.preview) s_->ports_.preview->SetPreviewEnabled(true);
        });
    } while (false);

    // The ending, the same for every exit.
    step([&] {
        if (connected && s_->mFTP) s_->mFTP->CloseConnection();
    });
    step([&] { s_->mFTP.reset(); });
    step([&] { s_->kids_.SetVisible(Child::Text1, false); });
    step([&] { s_->ports_.host->SetMousePointer(MousePointer::Default); });
    return result;
}

void ScanControl::mFTP_FileTransferProgress(int32_t& lCurrentBytes, int32_t& lTotalBytes) {
    try {
        const bool more = lTotalBytes > lCurrentBytes;
        const float value = more ? static_cast<float>(lCurrentBytes) : s_->kids_[Child::PB].value;
        s_->kids_.SetProgress(Child::PB, static_cast<float>(lTotalBytes), 0.0f, value);
        if (more) {
            const std::string& tip = s_->progressTexts_.ToolTip(lCurrentBytes, lTotalBytes);
            if (s_->kids_[Child::PB].toolTipText != tip) s_->kids_.SetToolTip(Child::PB, tip);
            // The percentage changes a hundred times per upload: only then is there
            // something new to paint.
            const std::string& pct = s_->progressTexts_.Percent(lCurrentBytes, lTotalBytes);
            if (s_->kids_[Child::Text1].caption != pct) {
                s_->kids_.SetCaption(Child::Text1, pct);
                static const std::string kText1 = "Text1";
                s_->ports_.host->Refresh(kText1);
            }
        }
        if (UploadProgress) UploadProgress(lCurrentBytes, lTotalBytes);
    } catch (...) {
        // The handler reports nothing.
    }
}

}  // namespace folioray
