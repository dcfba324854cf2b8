#pragma once
// One ScanControl on the headless host, in-memory clipboard and headless preview, with
// Timer1 wired to the host's timer. Tests add ports (registry, launcher) before Create().
#include <memory>

#include "control/ScanControl.h"
#include "platform/headless/HeadlessHost.h"
#include "platform/headless/HeadlessPreview.h"
#include "platform/headless/MemoryClipboard.h"
#include "ports/Ports.h"

namespace folioray::test {

struct HeadlessControl {
    HeadlessHost host;
    MemoryClipboard clipboard;
    HeadlessPreview preview;
    Ports ports;
    std::unique_ptr<ScanControl> control;

    explicit HeadlessControl(bool create = true) {
        ports.host = &host;
        ports.clipboard = &clipboard;
        ports.preview = &preview;
        if (create) Create();
    }
    ScanControl& Create() {
        control = std::make_unique<ScanControl>(ports);
        host.onTimer = [this] { control->Timer1_Timer(); };
        return *control;
    }
    ScanControl& operator*() { return *control; }
    ScanControl* operator->() { return control.get(); }
    const ChildControl& operator[](Child c) const { return control->Children()[c]; }
};

}  // namespace folioray::test
