// Compiled with the include paths of the board and ops layers only; must fail to build.
#include <QtCore/QString>
#include "ops/BoardOperations.h"

int main() { return QString().size(); }
