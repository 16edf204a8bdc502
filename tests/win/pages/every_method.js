// A page that tries every method of the control, as a page of any site could, and prints
// each answer. Initialize2 gets a region value that must never reach a command line.
function Show(name, value) { host.print(name + " " + value); }
Show("SetUpdatorVersion", control.SetUpdatorVersion("2.0.1.7"));
Show("Initialize2", control.Initialize2("TW;Production /regserver", "1.0.0.10", "", 30, "http://www.vorlink.com/"));
Show("Initialize", control.Initialize("TW;Production", "1.0.0.10", "", 30));
Show("SaveData", control.SaveData("page", "value"));
Show("LoadData", control.LoadData("page"));
Show("UpdateStatus", control.LoadData("UpdateStatus"));
Show("ClearData", control.ClearData("page"));
Show("CheckRegionInfo", control.CheckRegionInfo());
Show("SendCommand", control.SendCommand(7, 1, "Echo=1"));
Show("GetActivexObjID", control.GetActivexObjID() != 0);
Show("GetVersion", control.GetVersion());
Show("Uninitialize", control.Uninitialize());
