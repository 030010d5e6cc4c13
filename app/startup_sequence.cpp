#include "app/startup_sequence.h"
namespace tallybell { int main() { return 0; } }
