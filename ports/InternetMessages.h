#pragma once
// The message table of the internet layer: one text per error code it reports. Every
// adapter of the Internet port answers FormatMessage from this table.
#include <cstddef>
#include <cstdint>
#include <string>

#include "ports/Internet.h"

namespace folioray::inet {

// The text without its line break; nullptr when the code has none.
inline const char* MessageText(uint32_t code) {
    switch (code) {
        case kErrorFileNotFound:
            return "The local file was not found.";
        case kErrorAccessDenied:
            return "Access to the local file was denied.";
        case kErrorInvalidHandle:
            return "The handle is not valid.";
        case kErrorReadFault:
            return "The local file could not be read.";
        case kErrorInvalidParameter:
            return "A parameter is not valid (an empty name, or a line break or NUL character "
                   "in a name).";
        case kErrorOutOfHandles:
            return "No more handles could be created.";
        case kErrorTimeout:
            return "The operation timed out.";
        case kErrorExtendedError:
            return "The server returned extended error information.";
        case kErrorInternalError:
            return "An internal error occurred in the internet layer.";
        case kErrorInvalidUrl:
            return "The server name or port is not valid.";
        case kErrorNameNotResolved:
            return "The server name could not be resolved.";
        case kErrorIncorrectPassword:
            return "The server rejected the user name or password.";
        case kErrorLoginFailure:
            return "The login request was denied.";
        case kErrorInvalidOperation:
            return "The operation is not valid here.";
        case kErrorIncorrectHandleType:
            return "The handle is of the wrong type for this operation.";
        case kErrorCertDateInvalid:
            return "The server's certificate has expired or is not yet valid.";
        case kErrorCertNameInvalid:
            return "The server's certificate is for another name (name mismatch).";
        case kErrorInvalidCa:
            return "The server's certificate is not trusted: no trusted authority issued it.";
        case kErrorSecureChannel:
            return "A secure connection with the server could not be established.";
        case kErrorTlsRefused:
            return "The server does not offer TLS; nothing was sent without it.";
        case kErrorHostKeyUnknown:
            return "The server's host key is unknown: it is not in the known hosts file.";
        case kErrorHostKeyMismatch:
            return "The server's host key differs from the one in the known hosts file.";
        case kErrorActiveTlsUnavailable:
            return "Active mode is not available over TLS here (the file would go unencrypted); "
                   "use passive mode.";
        case kErrorCannotConnect:
            return "A connection to the server could not be established.";
        case kErrorConnectionAborted:
            return "The connection with the server was aborted.";
        case kErrorConnectionReset:
            return "The connection with the server was reset.";
        case kErrorFtpTransferInProgress:
            return "A transfer is already in progress on this FTP connection.";
        case kErrorFtpDropped:
            return "The FTP session was ended.";
        case kErrorInvalidServerResponse:
            return "The server's response could not be understood.";
        default:
            return nullptr;
    }
}

// FormatMessage's result: the text with CR LF, cut to what a buffer of `bufferSize`
// bytes holds before its terminating zero.
inline std::string FormatMessageText(uint32_t code, size_t bufferSize) {
    const char* t = MessageText(code);
    if (!t || bufferSize == 0) return {};
    std::string s = std::string(t) + "\r\n";
    if (s.size() > bufferSize - 1) s.resize(bufferSize - 1);
    return s;
}

}  // namespace folioray::inet
