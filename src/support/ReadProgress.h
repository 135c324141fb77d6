#pragma once
// How a long series of reads (the export's pages, the backup's sections) tells
// how far it has got, and learns that it should stop.

#include <QString>

#include <functional>

// Told before each part: part step of steps, by its name as the window calls
// it ("Приветствия"). False: stop before that part.
using TReadProgress = std::function<bool(int step, int steps, const QString& part)>;
