#include "shell/Application.h"

int main(int argc, char** argv) { return quillet::RunApplication(argc, argv); }
