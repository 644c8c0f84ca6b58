#include "fault_injection.h"

#include <QByteArray>
#include <QList>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <utility>

namespace platform
{

namespace
{

constexpr int pointCount = 5;

struct Faults {
    std::mutex mutex;
    std::array<int, pointCount> pending{};
    bool environmentRead = false;
};

Faults &faults()
{
    static Faults instance;
    return instance;
}

int errnoFromName(const QByteArray &name)
{
    static const struct {
        const char *name;
        int value;
    } known[] = {{"ENOENT", ENOENT}, {"ENOTDIR", ENOTDIR}, {"EACCES", EACCES},
                 {"EPERM", EPERM},   {"EBUSY", EBUSY},     {"ETXTBSY", ETXTBSY},
                 {"ENOSPC", ENOSPC}, {"EDQUOT", EDQUOT},   {"EFBIG", EFBIG},
                 {"EIO", EIO},       {"ENOMEM", ENOMEM},   {"EMFILE", EMFILE},
                 {"ENFILE", ENFILE}, {"EROFS", EROFS},     {"EISDIR", EISDIR},
                 {"EEXIST", EEXIST}, {"EINVAL", EINVAL},   {"ENAMETOOLONG", ENAMETOOLONG}};
    for (const auto &entry : known) {
        if (name == entry.name)
            return entry.value;
    }
    bool ok = false;
    const int number = name.toInt(&ok);
    return ok && number > 0 ? number : 0;
}

int pointFromName(const QByteArray &name)
{
    static const char *const names[pointCount] = {"open", "write", "commit", "delete", "signal"};
    for (int i = 0; i < pointCount; ++i) {
        if (name == names[i])
            return i;
    }
    return -1;
}

void readEnvironment(Faults &f)
{
    f.environmentRead = true;
    const QByteArray setting = qgetenv("SIGNETOR_FAULT");
    for (const QByteArray &item : setting.split(',')) {
        const QList<QByteArray> parts = item.trimmed().split('=');
        if (parts.size() != 2)
            continue;
        const int point = pointFromName(parts[0].trimmed().toLower());
        const int value = errnoFromName(parts[1].trimmed().toUpper());
        if (point >= 0 && value > 0)
            f.pending[point] = value;
    }
}

} // namespace

void injectFault(FaultPoint point, int errnoValue)
{
    Faults &f = faults();
    std::lock_guard<std::mutex> lock(f.mutex);
    if (!f.environmentRead)
        readEnvironment(f);
    f.pending[static_cast<int>(point)] = errnoValue;
}

void clearFaults()
{
    Faults &f = faults();
    std::lock_guard<std::mutex> lock(f.mutex);
    if (!f.environmentRead)
        readEnvironment(f);
    f.pending.fill(0);
}

int takeFault(FaultPoint point)
{
    Faults &f = faults();
    std::lock_guard<std::mutex> lock(f.mutex);
    if (!f.environmentRead)
        readEnvironment(f);
    return std::exchange(f.pending[static_cast<int>(point)], 0);
}

} // namespace platform
