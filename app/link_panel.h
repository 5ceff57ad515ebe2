// The link settings of the main window: port, station, baud rate and parity,
// the open and close buttons, the line naming the port's device, and the
// link-health line, which the window shows among its status lines.
#pragma once

#include "core/line_settings.h"
#include "link/link_control.h"

#include <QList>
#include <QObject>
#include <cstdint>

class FitLabel;
class QBoxLayout;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QWidget;

class LinkPanel : public QObject {
    Q_OBJECT
public:
    // The controls are made children of window.
    explicit LinkPanel(QWidget *window);

    // The row of settings and buttons, for the window's grid.
    QBoxLayout *settingsRow() const { return m_row; }
    QWidget *healthLine() const;
    // The panel's controls in tab order.
    QList<QWidget *> focusChain() const;

    // Port 1..20, then the serial ports present by name; station 1..16;
    // then the settings remembered from the last good open, or else port
    // and station "1 ", 9600 baud, no parity.
    void fillChoices();
    // The settings of the controls: port, baud index, parity index,
    // station (a text without a number gives 0). A port chosen by name, or
    // a device path typed (it begins with "/"), goes into the path; a port
    // number then stays whatever the text reads as (0 for a name).
    LinkChoice choice() const;
    void setHealth(const QString &text, bool bad);

signals:
    void openClicked();  // "打开"
    void closeClicked(); // "关闭"
    // The health line was clicked: the operator asks for the link diagnostics.
    void diagnosticsRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildPort(QWidget *window);
    void buildChoices(QWidget *window);
    void updatePortDevice();
    void restore(const struct RememberedLink &remembered);
    QString chosenPath() const;

    QBoxLayout *m_row = nullptr;
    QGroupBox *Frame6 = nullptr, *Frame5[2] = {}, *Frame2_1 = nullptr;
    QLabel *Label1 = nullptr;
    QComboBox *Combo1 = nullptr, *Combo2 = nullptr;
    QRadioButton *Option1[kLineChoices] = {}, *Option2[kLineChoices] = {};
    QPushButton *Command9 = nullptr, *Command10 = nullptr;
    FitLabel *portDev = nullptr;   // which serial device the chosen port number names
    FitLabel *linkState = nullptr; // communication health
};
