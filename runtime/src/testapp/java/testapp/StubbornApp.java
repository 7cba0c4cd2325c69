package testapp;

import com.vexlo.runtime.ServiceRuntime;

/**
 * A service whose stop never finishes, so only the halt can end it: its shutdown hook hangs, or with
 * the argument "stop-handler" its stop handler never returns. A second argument "exit" or "return"
 * makes it end by itself once ready, through System.exit(0) or by returning from main.
 */
public class StubbornApp {
    public static void main(String[] args) {
        if (args.length > 0 && args[0].equals("stop-handler")) {
            ServiceRuntime.addStopHandler(() -> {
                System.out.println("stop handler hangs");
                sleepForever();
            });
        } else {
            Runtime.getRuntime().addShutdownHook(new Thread(() -> {
                System.out.println("hook hangs");
                sleepForever();
            }));
        }
        System.out.println("ready");
        String end = args.length > 1 ? args[1] : "";
        if (end.equals("exit")) {
            System.exit(0);
        } else if (!end.equals("return")) {
            sleepForever();
        }
    }

    static void sleepForever() {
        for (;;) {
            try {
                Thread.sleep(60_000);
            } catch (InterruptedException e) {
                // keep sleeping
            }
        }
    }
}
