#pragma once
// The real adapters this build has, made in one place for every host (the Qt widget, the
// command line, the web service): scanner, JPEG library, FTP, the PDF object, the
// registry file and the program launcher. The host brings its container, clipboard and
// preview.
#include <memory>

#include "ports/Ports.h"

namespace folioray {

class SaneScanner;
class RegFileRegistry;

class PlatformPorts {
  public:
    // The scanner hands its pages over through `clipboard`; without one there is no scanner.
    explicit PlatformPorts(Clipboard* clipboard);
    ~PlatformPorts();
    PlatformPorts(const PlatformPorts&) = delete;
    PlatformPorts& operator=(const PlatformPorts&) = delete;

    // Host, clipboard and preview stay null; so does any adapter this build lacks.
    const Ports& ports() const { return ports_; }
    // Fills every null port of `ports` that this set has.
    void FillMissing(Ports& ports) const;

    // The adapters behind two ports, for a host's own settings and options; null when
    // this build lacks them.
    SaneScanner* sane() const;
    RegFileRegistry* registryFile() const;

  private:
    struct Adapters;
    std::unique_ptr<Adapters> adapters_;
    Ports ports_;
};

}  // namespace folioray
