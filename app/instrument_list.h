// The instrument list: one compact row per instrument served (its line,
// station and name, its four values and DA, its lit alarm flags and its
// health), where lines and stations are added, removed and named, and where
// selecting a row makes that instrument the main window's. A row whose
// station has an alarm, open or short flag lit is light red, whatever
// instrument the main window shows.
#pragma once

#include "app/plant.h"

#include <QTimer>
#include <QWidget>

class QLabel;
class QPushButton;
class QTableWidget;

class InstrumentListWindow : public QWidget {
    Q_OBJECT
public:
    enum Column { LineColumn, StationColumn, NameColumn, FirstValueColumn, AlarmColumn = FirstValueColumn + 5,
                  HealthColumn, ColumnCount };

    // The plant outlives the window.
    explicit InstrumentListWindow(Plant &plant, QWidget *parent = nullptr);

    // The rows' values, flags and health as they are now (every 500 ms).
    void refresh();

private:
    void buildUi();
    void rebuild();
    void selectCurrent();
    void rowChosen(int row);
    void nameEdited(int row, int column);
    void addStationAsked();
    void addLineAsked();
    void removeAsked();
    void showFault(PlantFault fault);
    int chosenRow() const;

    Plant &m_plant;
    QTableWidget *m_table = nullptr;
    QPushButton *m_addStation = nullptr, *m_addLine = nullptr, *m_remove = nullptr;
    QLabel *m_state = nullptr; // why the last change was refused
    QTimer m_refresh;
    bool m_filling = false; // the window itself is writing the table
};
