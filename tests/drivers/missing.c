/* A library that exports all entry points but SvrGetDevInfo: varnhost must refuse it. */
int SvrGetProperty(void) { return 1; }
int SvrEnumPropertyValue(void) { return 1; }
int SvrSetProperty(void) { return 1; }
int SvrDoHelp(void) { return 1; }
int SvrGetChannel(void) { return 1; }
int SvrEditProperty(void) { return 1; }
int SvrEditCustomProperty(void) { return 1; }
int SvrInitDevSet(void) { return 1; }
int SvrInitDevRun(void) { return 1; }
int SvrExitDevRun(void) { return 1; }
int SvrCollectDevData(void) { return 1; }
int SvrDevIOCtrl(void) { return 1; }
