// The settings files the input-method modules read when they first run, written into
// installDir at install.
#pragma once

// "wbpybz.vrh" (the edition flag), "vorndat.dat" (the network block), "vrnetsj.dat" (the network
// settings text, composed here after "vorndat.dat" is written) and "vryhgl0.dat" (the user
// record). A file that cannot be created is skipped silently.
void writeSettingsFiles();
// "vrszsj43.vrh" read into inputSettings, patched for the code page, the edition and the window
// mode, and written back; left alone when the earlier installation's data are kept.
void patchInputSettings();
// The edition alone, for a silent install told which one: "wbpybz.vrh", and the edition's
// bytes of "vrszsj43.vrh" unless the earlier installation's data are kept.
void applyEditionChoice();
// "install.vrh": the tick count as a signed decimal text.
void writeInstallStamp();
// 1 when "vrbmp8.vrh" and "vrbmpsx1.bmp" to "vrbmpsx7.bmp" all open, else 0.
int skinInstalled();
