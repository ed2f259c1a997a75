// The product label of the platform's modules: UTF-16LE "智能Marl输入平台", two blanks and the
// version the build gives each module (VORN_LABEL_VERSION, "6.3", "6.7" or "9.0"). The setup
// finds it in the module file and rewrites the version in place, so it must lie in the file as
// one array; the modules read it back from memory where they show or store it.
#pragma once

#ifndef VORN_LABEL_VERSION
#error "VORN_LABEL_VERSION is set by the build for each module"
#endif

extern "C" const wchar_t productLabel[];
