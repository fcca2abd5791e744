// Compiled with the include paths of the board and ops layers only; must fail to build.
#include "ops/BoardOperations.h"

#include <QtCore/QString>

int main() {
    return QString().size();
}
