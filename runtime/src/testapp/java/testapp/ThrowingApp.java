package testapp;

/** A main that fails at once. */
public class ThrowingApp {
    public static void main(String[] args) {
        throw new IllegalStateException("boom from the application");
    }
}
