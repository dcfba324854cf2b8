#pragma once
// A picture button: a 23 x 22 picture that is the whole button face. It takes no
// keyboard focus, as an image used as a button does not.
#include <QAbstractButton>
#include <QImage>
#include <QString>

namespace folioray {

class PictureButton final : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(QString pictureName READ pictureName)
  public:
    explicit PictureButton(QWidget* parent = nullptr);
    void setPictureName(const QString& name);
    QString pictureName() const { return pictureName_; }
    const QImage& picture() const { return picture_; }
    QSize sizeHint() const override { return {23, 22}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString pictureName_;
    QImage picture_;
};

}  // namespace folioray
