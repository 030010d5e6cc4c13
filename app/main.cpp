#include "app/startup_sequence.h"

int main() {
    return tallybell::main();
}
