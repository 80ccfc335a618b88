#include "platform/platform.hpp"

int main() { quorvel::ProgramMain(); }
