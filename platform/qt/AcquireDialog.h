#pragma once
// The scan settings a scanner's own dialog offers, built from the device's options: mode,
// resolution, depth and a paper size in front, every further option under "Advanced",
// grouped as the device groups them. What the user chose is kept per device.
#include <QDialog>
#include <QString>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/sane/SaneScanner.h"

class QComboBox;
class QDoubleSpinBox;
class QFormLayout;
class QWidget;

namespace folioray {

class AcquireDialog final : public QDialog {
    Q_OBJECT
  public:
    // Offers `options` of `device`, starting from what was chosen for it last time
    // (kept in `settingsFile`), else from the device's own values.
    AcquireDialog(const QString& device, const std::vector<SaneOption>& options,
                  const QString& settingsFile, QWidget* parent = nullptr);

    // The options for the scan, in the order they are to be set; stores them for the
    // device's next time.
    std::vector<SaneScanner::Option> Chosen() const;

  private:
    void AddEditor(const SaneOption& o, QWidget* parent, QFormLayout* form);
    void PaperChanged();
    void Remember(const std::vector<SaneScanner::Option>& chosen) const;

    QString device_;
    QString settingsFile_;
    std::vector<SaneOption> options_;
    std::map<std::string, QWidget*> editors_;     // by option name
    std::map<std::string, std::string> initial_;  // the device's values, as the editors show them
    QComboBox* paper_ = nullptr;
    QDoubleSpinBox* paperWidth_ = nullptr;
    QDoubleSpinBox* paperHeight_ = nullptr;
    double bedLeft_ = 0, bedTop_ = 0, bedRight_ = 0, bedBottom_ = 0;
};

}  // namespace folioray
