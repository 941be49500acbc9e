#pragma once

#include <QEvent>
#include <QHash>
#include <QObject>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

// With --events, the benchmarks print which objects got which events while they measured, to
// find what wakes the program. Installed on the application; counts by object name (or class)
// and event type.
class EventCount : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!m_counting)
            return false;
        const QString name = watched->objectName().isEmpty()
            ? QString::fromLatin1(watched->metaObject()->className())
            : watched->objectName();
        ++m_counts[name + QLatin1Char(' ') + QString::number(int(event->type()))];
        return false;
    }
    void setCounting(bool on) { m_counting = on; }
    void print(double seconds) const
    {
        std::vector<std::pair<qint64, QString>> sorted;
        for (auto it = m_counts.begin(); it != m_counts.end(); ++it)
            sorted.emplace_back(it.value(), it.key());
        std::sort(sorted.rbegin(), sorted.rend());
        std::printf("  events per second (object, event type):\n");
        for (std::size_t i = 0; i < sorted.size() && i < 40; ++i)
            std::printf("    %7.2f  %s\n", double(sorted[i].first) / seconds,
                        qPrintable(sorted[i].second));
    }

private:
    QHash<QString, qint64> m_counts;
    bool m_counting = false;
};
