/* Stands in for a program of the imaging software: only its version resource matters. */
int main(void) {
    return 0;
}
