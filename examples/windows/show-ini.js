// Helper of forecast.cmd for the forecast file qeloweather.ini:
//   cscript //nologo show-ini.js stamp FILE       prints one line that changes with every run
//                                                 that writes the file: its time and update time
//   cscript //nologo show-ini.js copy FILE COPY   writes the file's text to COPY in the system
//                                                 code page, for `type` to show
// A file that qeloweather.exe creates is UTF-16LE text with a byte-order mark; a file that was
// there before keeps its encoding, so the system code page is taken when the text is not UTF-16.
// Only ASCII is printed here: not every script host converts other text for a console correctly.
var fso = new ActiveXObject("Scripting.FileSystemObject");
var command = WScript.Arguments(0);
var path = WScript.Arguments(1);

function readText(format) {
  var file = fso.OpenTextFile(path, 1, false, format);
  var text = file.AtEndOfStream ? "" : file.ReadAll();
  file.Close();
  return text;
}

function fileText() {
  // Text of the system code page read as UTF-16 has no line feed and no bracket of its own.
  var text = readText(-1);
  if (text.indexOf("\n") < 0 && text.indexOf("[") < 0) text = readText(0);
  return text.replace(/^\uFEFF/, "");
}

if (command == "stamp") {
  var stamp = "none";
  if (fso.FileExists(path)) {
    var key = "\u66F4\u65B0\u65F6\u95F4=";  // 更新时间=
    var lines = fileText().split(/\r?\n/);
    var updated = "";
    for (var i = 0; i < lines.length; ++i) {
      if (lines[i].indexOf(key) == 0) updated = lines[i].substring(key.length);
    }
    stamp = String(fso.GetFile(path).DateLastModified) + " " + escape(updated);
  }
  WScript.Echo(stamp);
} else if (command == "copy") {
  var copy = fso.CreateTextFile(WScript.Arguments(2), true, false);
  copy.Write(fso.FileExists(path) ? fileText() : "");
  copy.Close();
}
