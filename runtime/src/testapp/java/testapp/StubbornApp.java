package testapp;

/** A service whose shutdown hook never finishes, so only the halt can end it. */
public class StubbornApp {
    public static void main(String[] args) {
        Runtime.getRuntime().addShutdownHook(new Thread(() -> {
            System.out.println("hook hangs");
            sleepForever();
        }));
        System.out.println("ready");
        sleepForever();
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
