package testapp;

import com.vexlo.runtime.ServiceRuntime;
import java.util.Arrays;
import java.util.concurrent.CountDownLatch;

/**
 * A service without a stop handler, stopped only through a configured stop method. Its main prints
 * the variables named by "env=NAME" arguments and "lines=N" numbered lines (with the argument
 * "handler" it registers a stop handler after all), then waits for a stop method to release it. The stop methods: stop(String[]) and stopWithoutArguments() release it,
 * stopThrows(String[]) fails, stopNeverReturns(String[]) never returns.
 */
public class StopMethodApp {
    private static final CountDownLatch STOPPED = new CountDownLatch(1);

    public static void main(String[] args) throws InterruptedException {
        for (String arg : args) {
            if (arg.startsWith("env=")) {
                String name = arg.substring(4);
                System.out.println("env " + name + "=" + System.getenv(name));
            } else if (arg.equals("handler")) {
                ServiceRuntime.addStopHandler(() -> System.out.println("stop handler ran"));
            } else if (arg.startsWith("lines=")) {
                int count = Integer.parseInt(arg.substring(6));
                for (int i = 1; i <= count; i++) {
                    System.out.println(String.format("line %06d %0" + (i % 50 + 1) + "d", i, 0));
                }
            }
        }
        Runtime.getRuntime().addShutdownHook(new Thread(() -> System.out.println("hook ran")));
        System.out.println("ready");
        STOPPED.await();
        System.out.println("main ends");
    }

    public static void stop(String[] args) {
        System.out.println("stop method args=" + Arrays.toString(args));
        STOPPED.countDown();
    }

    public static void stopWithoutArguments() {
        System.out.println("stop method without arguments");
        STOPPED.countDown();
    }

    public static void stopThrows(String[] args) {
        System.out.println("stop method throws");
        throw new IllegalStateException("stop method failed");
    }

    public static void stopNeverReturns(String[] args) throws InterruptedException {
        System.out.println("stop method never returns");
        new CountDownLatch(1).await();
    }
}
