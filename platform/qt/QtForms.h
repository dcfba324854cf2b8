#pragma once
// The control's modal forms: the detail window DetForm and the About box frmAbout.
#include <QDialog>
#include <QImage>
#include <QStringList>

class QLabel;

namespace folioray {

class AboutForm;

// "Full Size View": one picture box filling the inner area, which the window is opened
// at exactly the picture's size.
class DetForm final : public QDialog {
    Q_OBJECT
  public:
    explicit DetForm(QWidget* parent = nullptr);
    void setPicture(const QImage& picture);
    // Makes the inner area exactly this many pixels.
    void setInnerSize(const QSize& size);
    QLabel* pictureBox() const { return image1_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QLabel* image1_;
    QSize pictureSize_;
};

// The About box over the form's texts; its buttons call back into it.
class AboutDialog final : public QDialog {
    Q_OBJECT
  public:
    AboutDialog(AboutForm& about, QWidget* parent = nullptr);

  private:
    AboutForm& about_;
};

// A modal table to pick one row from ("Select Source"), a column per heading; the chosen
// row, or -1 when the user cancelled or there was nothing to choose.
int ChooseFromList(QWidget* parent, const QString& title, const QString& label,
                   const QStringList& headings, const QList<QStringList>& rows, int current);

}  // namespace folioray
