#pragma once
// The widget's parts behind its public class: the core, its Qt host, preview and
// clipboard, and the real children that mirror the core's records. The library's own
// code and its tests reach them here; hosts never do.
#include <QPointer>
#include <QTimer>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "control/ChildControls.h"
#include "platform/qt/ScanControlWidget.h"
#include "runtime/Variant.h"

namespace folioray {

class QtHost;
class QtClipboard;
class QtPreview;
class DefaultPorts;

// Script values to the core's Variant and back. An invalid QVariant is `invalid`
// (Empty for a property value, Missing for an omitted argument).
Variant ToVariant(const QVariant& value, Variant invalid = Variant());
QVariant FromVariant(const Variant& value);

struct ScanControlWidget::Private {
    explicit Private(ScanControlWidget& widget) : q(widget) {}
    static Private& Of(ScanControlWidget& w) { return *w.d_; }

    void Build(const Ports& ports);
    void MirrorChild(const std::string& name);
    void MirrorAll();
    void ApplyZOrder();
    void ApplyExtent(float widthTwips, float heightTwips);
    QSize ModelExtentPixels() const;
    void SyncExtent();
    // Signals each property whose value differs from the one last signalled.
    void NotifyChanges();

    ScanControlWidget& q;
    // The core and the adapters it uses. A call into the core holds a reference, so that
    // a widget deleted while the call waits (from a timer, during an upload) leaves them
    // alive, cut loose from it, until the call returns.
    struct Parts;
    std::shared_ptr<Parts> parts_;
    QtClipboard* clipboard_ = nullptr;
    QtHost* host_ = nullptr;
    DefaultPorts* defaults_ = nullptr;  // the first constructor's adapters, else null
    QtPreview* preview_ = nullptr;
    Ports ports_;
    ScanControl* control_ = nullptr;
    std::map<Child, QWidget*> widgets_;
    std::vector<Child> appliedZOrder_;
    QTimer timer1_;
    bool applyingExtent_ = false;
    bool mirroringText2_ = false;
    std::vector<QVariant> notified_;  // by property index, from the first one of this class
};

inline QtHost& HostOf(ScanControlWidget& w) {
    return *ScanControlWidget::Private::Of(w).host_;
}
inline QtPreview& PreviewOf(ScanControlWidget& w) {
    return *ScanControlWidget::Private::Of(w).preview_;
}
inline DefaultPorts* DefaultPortsOf(ScanControlWidget& w) {
    return ScanControlWidget::Private::Of(w).defaults_;
}

}  // namespace folioray
