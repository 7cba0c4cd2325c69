package com.vexlo.runtime;

import java.util.ArrayDeque;
import java.util.ArrayList;
import java.util.Deque;
import java.util.List;

/**
 * What an application running under the Vexlo service launcher may ask of it.
 *
 * <p>Everything here is optional: an application that never touches this class runs the same way.
 * The values come from system properties that the native launcher (or {@link WinLauncher}) sets, so
 * they are also readable without this class; every getter returns null when its value is unknown,
 * for example when the application was started by plain {@code java}.
 *
 * <p>Stop handlers are the way to finish work when the service is stopped. They run once, in the
 * reverse order of registration, either when the launcher receives the stop request (before
 * {@code System.exit(0)}, so before any shutdown hook) or, if the JVM ends for another reason, from a
 * shutdown hook. Stop handlers and shutdown hooks share the stop timeout (property
 * {@code vexlo.stopTimeoutMillis}), counted from the stop request or, when the application ends by
 * itself, from the start of the JVM's shutdown; when it elapses the process is halted with exit code
 * 2.
 */
public final class ServiceRuntime {

    static final String SERVICE_NAME_PROPERTY = "vexlo.serviceName";
    static final String FIRST_RUN_PROPERTY = "vexlo.firstRun";

    private static final Object LOCK = new Object();
    private static final Deque<Runnable> STOP_HANDLERS = new ArrayDeque<>();
    private static boolean stopHandlersRan;
    private static boolean shutdownHookInstalled;
    private static volatile boolean stopRequested;

    private ServiceRuntime() {
    }

    /** The Windows service name the launcher runs under, or null when it handed none. */
    public static String serviceName() {
        return property(SERVICE_NAME_PROPERTY);
    }

    /** Whether the native service launcher started this JVM. */
    public static boolean isService() {
        return Boolean.parseBoolean(property("vexlo.isService"));
    }

    /** The path of the launcher executable, or null. */
    public static String moduleName() {
        return property("vexlo.moduleName");
    }

    /** The per-run folder holding the files the launcher extracted, or null when it has none. */
    public static String tempDir() {
        return property("vexlo.tempDir");
    }

    /** The process communication file of single-instance mode, or null when that mode is off. */
    public static String processCommFile() {
        return property("vexlo.processCommFile");
    }

    /**
     * Whether this is the first start after installation: the installer's first-run marker was
     * found (and removed) before the application started.
     */
    public static boolean isFirstRun() {
        return Boolean.parseBoolean(property(FIRST_RUN_PROPERTY));
    }

    /** Whether a stop request has been received on standard input. */
    public static boolean isStopRequested() {
        return stopRequested;
    }

    /**
     * Registers work to run when the service stops. Handlers run once, last registered first; an
     * exception thrown by one is printed to System.err and does not keep the others from running.
     *
     * @throws IllegalStateException when the stop handlers have already run
     */
    public static void addStopHandler(Runnable handler) {
        if (handler == null) {
            throw new NullPointerException("handler");
        }
        synchronized (LOCK) {
            if (stopHandlersRan) {
                throw new IllegalStateException("the service is already stopping");
            }
            if (!shutdownHookInstalled) {
                Runtime.getRuntime().addShutdownHook(
                        new Thread(ServiceRuntime::runStopHandlers, "vexlo-stop-handlers"));
                shutdownHookInstalled = true;
            }
            STOP_HANDLERS.push(handler);
        }
    }

    /** Records the stop request; returns false when one had been recorded before. */
    static boolean markStopRequested() {
        synchronized (LOCK) {
            if (stopRequested) {
                return false;
            }
            stopRequested = true;
            return true;
        }
    }

    /** Runs the registered stop handlers, once per JVM whoever calls first. */
    static void runStopHandlers() {
        List<Runnable> handlers;
        synchronized (LOCK) {
            if (stopHandlersRan) {
                return;
            }
            stopHandlersRan = true;
            handlers = new ArrayList<>(STOP_HANDLERS);
            STOP_HANDLERS.clear();
        }
        for (Runnable handler : handlers) {
            try {
                handler.run();
            } catch (Throwable t) {
                System.err.println("vexlo: stop handler " + handler + " failed:");
                t.printStackTrace();
            }
        }
    }

    private static String property(String name) {
        String value = System.getProperty(name);
        return value == null || value.isEmpty() ? null : value;
    }
}
