package testapp;

/** Has a main method, but not a static one. */
public class NotStaticApp {
    public void main(String[] args) {
        System.out.println("must not run");
    }
}
