// Stand-in JavaHelp viewer for the help engine's tests. It records, in the
// folder named by QH_RECORD_DIR, its class path and arguments and whether
// JavaHelp's jh.jar is on the class path (<pid>.log), and every byte of its
// standard input (<pid>.in). At the end of input it logs "eof" and exits.
// Input that contains "close-input" makes it close its input, log
// "closed" and wait (at most 60 s) for a file <pid>.release before it ends.
package com.qd.javahelp;

import java.io.File;
import java.io.FileOutputStream;
import java.nio.charset.StandardCharsets;

public class QhCtxHelp {
  public static void main(String[] args) throws Exception {
    File dir = new File(System.getenv("QH_RECORD_DIR"));
    long pid = ProcessHandle.current().pid();
    try (FileOutputStream log = new FileOutputStream(new File(dir, pid + ".log"), true);
         FileOutputStream in = new FileOutputStream(new File(dir, pid + ".in"), true)) {
      StringBuilder sb = new StringBuilder();
      sb.append("cp=").append(System.getProperty("java.class.path")).append('\n');
      for (String a : args) sb.append("arg=").append(a).append('\n');
      try {
        Class.forName("javax.help.HelpSet", false, QhCtxHelp.class.getClassLoader());
        sb.append("javahelp=yes\n");
      } catch (ClassNotFoundException e) {
        sb.append("javahelp=no\n");
      }
      log.write(sb.toString().getBytes(StandardCharsets.UTF_8));
      log.flush();
      byte[] buf = new byte[4096];
      int n;
      while ((n = System.in.read(buf)) > 0) {
        in.write(buf, 0, n);
        in.flush();
        if (new String(buf, 0, n, StandardCharsets.ISO_8859_1).contains("close-input")) {
          System.in.close();
          log.write("closed\n".getBytes(StandardCharsets.UTF_8));
          log.flush();
          File release = new File(dir, pid + ".release");
          for (int i = 0; i < 3000 && !release.exists(); ++i) Thread.sleep(20);
          return;
        }
      }
      log.write("eof\n".getBytes(StandardCharsets.UTF_8));
      log.flush();
    }
  }
}
