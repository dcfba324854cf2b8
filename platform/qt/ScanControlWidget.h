#pragma once
// ScanControl as a Qt widget: owns the portable core, mirrors its child records onto
// real widgets and delivers their events. Properties, methods and the ScanComplete
// event are also reachable through the meta-object system, so a host can script it.
#include <QPointer>
#include <QTimer>
#include <QVariant>
#include <QWidget>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "control/ChildControls.h"
#include "ports/Ports.h"
#include "runtime/Variant.h"

namespace folioray {

class ScanControl;
class QtHost;
class QtClipboard;
class QtPreview;
class DefaultPorts;

// Script values to the core's Variant and back. An invalid QVariant is `invalid`
// (Empty for a property value, Missing for an omitted argument).
Variant ToVariant(const QVariant& value, Variant invalid = Variant());
QVariant FromVariant(const Variant& value);

class ScanControlWidget : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int FullScreen READ FullScreen WRITE setFullScreen NOTIFY FullScreenChanged)
    Q_PROPERTY(int ButtonStyle READ ButtonStyle WRITE setButtonStyle NOTIFY ButtonStyleChanged)
    Q_PROPERTY(QString CurrentName READ CurrentName NOTIFY CurrentNameChanged)
    Q_PROPERTY(QVariant ShowModeButton READ ShowModeButton WRITE setShowModeButton NOTIFY
                   ShowModeButtonChanged)
    Q_PROPERTY(QVariant SaveAsPDF READ SaveAsPDF WRITE setSaveAsPDF NOTIFY SaveAsPDFChanged)
    Q_PROPERTY(int ControlMode READ ControlMode WRITE setControlMode NOTIFY ControlModeChanged)
    Q_PROPERTY(int ImageWidth READ ImageWidth NOTIFY ImageWidthChanged)
    Q_PROPERTY(int ImageHeight READ ImageHeight NOTIFY ImageHeightChanged)
    Q_PROPERTY(int ImageSize READ ImageSize NOTIFY ImageSizeChanged)
    Q_PROPERTY(int Quality READ Quality WRITE setQuality NOTIFY QualityChanged)
    Q_PROPERTY(QString FilePath READ FilePath WRITE setFilePath NOTIFY FilePathChanged)
    // Off for unattended scanning: no settings dialog before a scan, no progress window.
    Q_PROPERTY(bool ScanDialog READ ScanDialog WRITE setScanDialog NOTIFY ScanDialogChanged)

  public:
    // With the real platform adapters this build has (DefaultPorts).
    explicit ScanControlWidget(QWidget* parent = nullptr);
    // With the ports the host gives; a null host, clipboard or preview becomes the Qt
    // one, the other ports are used as given (null: the platform lacks the service).
    explicit ScanControlWidget(const Ports& ports, QWidget* parent = nullptr);
    ~ScanControlWidget() override;

    int FullScreen() const;
    void setFullScreen(int lngFullScrn);
    int ButtonStyle() const;
    void setButtonStyle(int lngBtnStyle);
    QString CurrentName() const;
    QVariant ShowModeButton() const;
    void setShowModeButton(const QVariant& blShow);
    QVariant SaveAsPDF() const;
    void setSaveAsPDF(const QVariant& blPDF);
    int ControlMode() const;
    void setControlMode(int lngMode);
    int ImageWidth() const;
    int ImageHeight() const;
    int ImageSize() const;
    int Quality() const;
    void setQuality(int vData);
    QString FilePath() const;
    void setFilePath(const QString& vData);
    bool ScanDialog() const;
    void setScanDialog(bool on);

    Q_INVOKABLE void StartScan();
    Q_INVOKABLE void SetSize(int xWidth, int yHeight);
    Q_INVOKABLE QString UploadFile(const QVariant& vServer, const QVariant& vUserName,
                                   const QVariant& vPassword, const QVariant& vFTPMode = QVariant(),
                                   const QVariant& vRemoteFileName = QVariant(),
                                   const QVariant& vRemoteDirectory = QVariant());
    Q_INVOKABLE void PasteName();

    ScanControl& control() { return *control_; }
    const ScanControl& control() const { return *control_; }
    QtHost& host() { return *host_; }
    QtPreview& preview() { return *preview_; }
    const Ports& ports() const { return ports_; }
    // The default adapters (the first constructor only, else null).
    DefaultPorts* defaultPorts() { return defaults_; }
    // The real widget of a child ("Command1", "Icon2", "Image1", "Text2", "PB"...).
    QWidget* childWidget(const QString& name) const;
    // Where PasteName types: null means the focused widget of this control's window.
    void setKeyTarget(QWidget* target);

    QSize sizeHint() const override;

  signals:
    // The control's event, with the stored file's full path.
    void ScanComplete(const QString& FileName);
    // A property's new value, after a write or a command changed it.
    void FullScreenChanged(int value);
    void ButtonStyleChanged(int value);
    void CurrentNameChanged(const QString& value);
    void ShowModeButtonChanged(const QVariant& value);
    void SaveAsPDFChanged(const QVariant& value);
    void ControlModeChanged(int value);
    void ImageWidthChanged(int value);
    void ImageHeightChanged(int value);
    void ImageSizeChanged(int value);
    void QualityChanged(int value);
    void FilePathChanged(const QString& value);
    void ScanDialogChanged(bool value);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    friend class QtHost;

    void Build(const Ports& ports);
    void MirrorChild(const std::string& name);
    void MirrorAll();
    void ApplyZOrder();
    void ApplyExtent(float widthTwips, float heightTwips);
    QSize ModelExtentPixels() const;
    void SyncExtent();
    // Signals each property whose value differs from the one last signalled.
    void NotifyChanges();

    // The core and the adapters it uses. A call into the core holds a reference, so that
    // a widget deleted while the call waits (from a timer, during an upload) leaves them
    // alive, cut loose from it, until the call returns.
    struct Parts;
    std::shared_ptr<Parts> parts_;
    QtClipboard* clipboard_ = nullptr;
    QtHost* host_ = nullptr;
    DefaultPorts* defaults_ = nullptr;
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

}  // namespace folioray
