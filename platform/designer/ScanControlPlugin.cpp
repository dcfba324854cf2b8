#include "platform/designer/ScanControlPlugin.h"

#include <QIcon>
#include <QPixmap>

#include "folioray2/ScanControlWidget.h"
#include "platform/qt/QtImages.h"

namespace folioray {

ScanControlPlugin::ScanControlPlugin(QObject* parent) : QObject(parent) {}

QString ScanControlPlugin::name() const {
    return QStringLiteral("folioray::ScanControlWidget");
}

QString ScanControlPlugin::group() const {
    return QStringLiteral("Document Capture");
}

QString ScanControlPlugin::toolTip() const {
    return QStringLiteral("ScanControl: scan or paste a page, upload it, type its path");
}

QString ScanControlPlugin::whatsThis() const {
    return QStringLiteral(
        "The document-capture control. It stores a scanned or pasted page (or typed text) as a "
        "working file in FilePath and emits ScanComplete(FileName); UploadFile sends the file "
        "by FTP and PasteName types its path into the focused field.");
}

// The form's generated code includes the installed entry header, as hosts do.
QString ScanControlPlugin::includeFile() const {
    return QStringLiteral("folioray2/ScanControlWidget.h");
}

QIcon ScanControlPlugin::icon() const {
    return QIcon(QPixmap::fromImage(DrawButtonPicture(QStringLiteral("scan"))));
}

bool ScanControlPlugin::isContainer() const {
    return false;
}

QWidget* ScanControlPlugin::createWidget(QWidget* parent) {
    return new ScanControlWidget(parent);
}

bool ScanControlPlugin::isInitialized() const {
    return initialized_;
}

void ScanControlPlugin::initialize(QDesignerFormEditorInterface* /*core*/) {
    initialized_ = true;
}

// The widget box shows the entry as "ScanControl"; a new instance is larger than the
// control's minimum (1820 x 1095 twips) so that the preview shows beside the buttons.
QString ScanControlPlugin::domXml() const {
    return QStringLiteral(
        "<ui language=\"c++\" displayname=\"ScanControl\">\n"
        " <widget class=\"folioray::ScanControlWidget\" name=\"scanControl\">\n"
        "  <property name=\"geometry\">\n"
        "   <rect><x>0</x><y>0</y><width>240</width><height>160</height></rect>\n"
        "  </property>\n"
        " </widget>\n"
        "</ui>\n");
}

}  // namespace folioray
