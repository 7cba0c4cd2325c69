package testapp;

import com.vexlo.runtime.ServiceRuntime;

/** A well-behaved service: reports what it received, then works in a non-daemon thread until stopped. */
public class EchoApp {
    public static void main(String[] args) throws Exception {
        System.out.println("argc=" + args.length);
        for (String arg : args) {
            System.out.println("arg=<" + arg + ">");
        }
        System.out.println("service=" + ServiceRuntime.serviceName() + "\nstdin=" + System.in.read());
        System.err.println("to-stderr");
        ServiceRuntime.addStopHandler(() -> System.out.println("stop handler ran"));
        // Registered last, so it runs first; its failure must not keep the handler above from running.
        ServiceRuntime.addStopHandler(() -> {
            System.out.println("failing handler runs");
            throw new IllegalStateException("failing stop handler");
        });
        Runtime.getRuntime().addShutdownHook(new Thread(() -> System.out.println("hook ran")));
        new Thread(StubbornApp::sleepForever).start();
        System.out.println("ready");
    }
}
