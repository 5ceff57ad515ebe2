// The program's clock, to the whole second: the system clock unless a source
// is set (tests set one). Whatever keeps time takes it by reference.
#pragma once

#include <QDateTime>
#include <functional>

class Clock {
public:
    QDateTime now() const;
    void set(std::function<QDateTime()> source); // empty function = the system clock

private:
    std::function<QDateTime()> m_source;
};
