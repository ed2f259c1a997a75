// Fixed facts of the product that several steps name.
#pragma once

// The vendor's home page, named in the messages that send the user to download the setup again.
constexpr const char* vendorHomePage = "www.vornel.com";
// Held by the setup and the uninstaller while they run: one of them at a time changes the
// installation and the learnt data.
constexpr const char* instanceMutexName = "vornsetup-9.0-single-instance";
