#pragma once
// ScanControl as a Qt widget: owns the portable core, mirrors its child records onto
// real widgets and delivers their events. Properties, methods and the ScanComplete
// event are also reachable through the meta-object system, so a host can script it.
#include <QVariant>
#include <QWidget>
#include <memory>

#include "folioray2/widget_export.h"
#include "ports/Ports.h"

namespace folioray {

class ScanControl;

class FOLIORAY_WIDGET_EXPORT ScanControlWidget : public QWidget {
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

    // The core behind the widget, and the ports it was given (the Qt ones filled in).
    ScanControl& control();
    const ScanControl& control() const;
    const Ports& ports() const;
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

  public:
    // The widget's own parts (platform/qt/ScanControlWidgetPrivate.h); opaque to hosts.
    struct Private;

  private:
    std::unique_ptr<Private> d_;
};

}  // namespace folioray
