// Fixed facts of the product that several steps name.
#pragma once

// The vendor's home page, named in the messages that send the user to download the setup again.
constexpr const char* vendorHomePage = "www.vornel.com";
