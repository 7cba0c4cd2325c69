package com.vexlo.demo;

import com.vexlo.runtime.ServiceRuntime;

import java.util.Arrays;

/**
 * The demo service: it writes a heartbeat line every second until the service is stopped. On
 * stop, the stop handler registered with the launcher's runtime runs first (the place for an
 * orderly shutdown), then the JVM's shutdown hooks.
 */
public final class DemoService {

    private DemoService() {
    }

    public static void main(String[] args) throws InterruptedException {
        System.out.println("demo: service '" + ServiceRuntime.serviceName() + "' started with arguments "
                + Arrays.toString(args));
        ServiceRuntime.addStopHandler(() -> System.out.println("demo: stop handler: finishing the work in hand"));
        Runtime.getRuntime().addShutdownHook(new Thread(() -> System.out.println("demo: shutdown hook")));
        long interval = Long.getLong("demo.heartbeatMillis", 1000L);
        for (long beat = 1; ; ++beat) {
            System.out.println("demo: heartbeat " + beat);
            Thread.sleep(interval);
        }
    }
}
