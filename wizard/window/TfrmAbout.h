#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class TRzURLLabel;
class TRzVersionInfo;

// The About box: the program's name, its version line read from its own
// executable, and the support contact details. Shown modally and destroyed
// when it closes:
//     TfrmAbout frmAbout(this);
//     frmAbout.exec();
class TfrmAbout : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmAbout(QWidget *parent = nullptr);

    // The controls, as named in the window's definition; owned by the box.
    QWidget *Panel1;
    QLabel *RzLabel1;
    QLabel *lblVersion;
    QLabel *Label2;
    QWidget *Panel2;
    QLabel *Label3;
    QLabel *Label4;
    QLabel *Label5;
    QLabel *Label6;
    QLabel *Label7;
    TRzURLLabel *RzURLLabel1;
    TRzURLLabel *RzURLLabel2;
    QLabel *Label8;
    QLabel *Label9;
    QLabel *Label10;
    QPushButton *BitBtn1;
    // Reads the program's own file unless FilePath is changed before the
    // box is first activated.
    TRzVersionInfo *VersionInfo;

public Q_SLOTS:
    // Sets the version line from VersionInfo's file version.
    void FormActivate();

protected:
    bool event(QEvent *event) override;

private:
    bool m_activated = false;
};
