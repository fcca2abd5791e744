// Compiled with the include paths of one layer below the widgets only; must fail to build.
#include <QtCore/QString>

int main() {
    return QString().size();
}
