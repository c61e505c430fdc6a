#include "app/VocoderApp.h"

int main(int argc, char** argv) { return VocoderApp::run(argc, argv); }
