#pragma once
// FTP client over the Internet port (filled in by the upload work).
namespace folioray {
class cFTP {
public:
    virtual ~cFTP() = default;
};
}  // namespace folioray
